#include "ConfigTransfer.h"

#include "ConfigFileReport.h"
#include "ConfigLocale.h"
#include "ConfigMapping.h"
#include "FileQuestion.h"
#include "HandlerGuard.h"
#include "RecordMerge.h"
#include "ScriptsPanel.h"
#include "TarnConfig.h"
#include "TarnInterface.h"
#include "UnitCodePage.h"
#include "UnitSettings.h"

#include <QLocale>

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace Corvane {
namespace {

// The script boxes in the unit's order of scripts.
constexpr std::array<ScriptsPanel::Slot, mapping::kScripts> kScriptBoxes{
    ScriptsPanel::Startup, ScriptsPanel::Shutdown, ScriptsPanel::ValetStartup,
    ScriptsPanel::ValetShutdown};

QString windowText(const std::string& text) {
    return QString::fromStdString(text);
}

std::string pathBytes(const QString& path) {
    return ConfigFileReport::pathBytes(path);
}

} // namespace

ConfigTransfer::ConfigTransfer(QWidget& window, const DeviceSlot& dev, UnitSettings& settings,
                               ScriptsPanel& scripts, const ChannelRows& rows,
                               BeforeLoad beforeLoad)
    : window_(window)
    , dev_(dev)
    , settings_(settings)
    , scripts_(scripts)
    , rows_(rows)
    , beforeLoad_(std::move(beforeLoad)) {}

tarn::TarnInterface* ConfigTransfer::device() const {
    return dev_.get();
}

// ---- Menu commands ----

void ConfigTransfer::saveConfigXMLToolStripMenuItem_Click() {
    const std::optional<QString> path = askPath(window_, true);
    if (!path) {
        return;
    }
    try {
        collect().writeConfigFile(pathBytes(*path));
    } catch (const std::exception& error) {
        ConfigFileReport::show(&window_, QStringLiteral("saved to"), *path, error);
    }
}

void ConfigTransfer::loadConfigxmlToolStripMenuItem_Click() {
    const tarn::TarnInterface* dev = device();
    if (dev == nullptr || !dev->isOpen()) {
        return;
    }
    const std::optional<QString> path = askPath(window_, false);
    if (!path) {
        return;
    }
    try {
        TarnConfig config(configNumberLocale(QLocale()));
        config.readConfigFile(pathBytes(*path));
        // The unit may have gone while the dialog was open; then nothing could reach it, and the
        // controls would show values that no unit holds.
        dev = device();
        if (dev != nullptr && dev->isOpen() && (!beforeLoad_ || beforeLoad_())) {
            apply(config);
        }
    } catch (const std::exception& error) {
        ConfigFileReport::show(&window_, QStringLiteral("loaded from"), *path, error);
    }
}

std::optional<QString> ConfigTransfer::askPath(QWidget& parent, bool saving, const QString& title) {
    const FileQuestion question{
        saving ? QStringLiteral("saveFileDialog1") : QStringLiteral("openFileDialog1"),
        !title.isEmpty() ? title
        : saving         ? QStringLiteral("Save Config")
                         : QStringLiteral("Load Config"),
        saving,
        nameFilter(),
        QStringLiteral("xml"),
    };
    return question.ask(parent);
}

// ---- Save ----

TarnConfig ConfigTransfer::collect() const {
    TarnConfig config(configNumberLocale(QLocale()));
    // The unit's part first, as it is at the moment of saving.
    collectDevice(config);
    settings_.collect(config);
    collectChannels(config);
    return config;
}

// A read that fails leaves its item out of the file: what it would have supplied is unknown,
// and a later load must not send made-up values to a unit.
void ConfigTransfer::collectDevice(TarnConfig& config) const {
    if (tarn::TarnInterface* dev = device()) {
        mapping::readIntoConfig(*dev, mapping::unitHeldSections(), config);
    }
}

void ConfigTransfer::collectChannels(TarnConfig& config) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        ChannelSettings ch;
        ch.channel = static_cast<std::uint8_t>(i);
        rows_.at(i)->collect(ch);
        ch.group = settings_.group(i);
        config.setChannel(ch.channel, ch);
    }
}

// ---- Load ----

void ConfigTransfer::apply(const TarnConfig& config) const {
    if (device() == nullptr) {
        return;
    }
    settings_.apply(config);
    applyNetwork(config);
    applySwitchBoard(config);
    applyScripts(config);
    applyChannels(config);
}

// The file's values over the unit's current ones; a record the unit's cannot complete is not
// sent.
void ConfigTransfer::applyNetwork(const TarnConfig& config) const {
    if (config.ipHasValue()) {
        mapping::loadNetwork(*device(), config.getIP());
    }
}

void ConfigTransfer::applySwitchBoard(const TarnConfig& config) const {
    if (config.switchBoardHasValue()) {
        mapping::loadButtons(*device(), config.getSwitchBoard());
    }
}

// A box shows a loaded script only once the unit has taken it; a refused one (too long, or a
// failed transfer) leaves the box showing what it showed, and the next script is still sent.
void ConfigTransfer::applyScripts(const TarnConfig& config) const {
    for (std::uint8_t i = 0; i < mapping::kScripts; ++i) {
        const mapping::ScriptField& script = mapping::kScriptFields.at(i);
        if (!(config.*script.present)()) {
            continue;
        }
        mapping::UnitState wanted;
        const std::string& sent = wanted.scripts.at(i).emplace(
            UnitCodePage::toUnit(windowText((config.*script.stored)())));
        if (mapping::writeSection(*device(), {mapping::Section::Script, i}, wanted)) {
            scripts_.showScript(kScriptBoxes.at(i), UnitCodePage::fromUnit(sent));
        }
    }
}

// Each row sends its name and sets its fuse controls, then the group box of its channel is set;
// the controls' own handlers decide what else the unit is sent.
void ConfigTransfer::applyChannels(const TarnConfig& config) const {
    if (!config.channelHasValue()) {
        return;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const std::optional<ChannelSettings> ch = config.getChannel(static_cast<std::int32_t>(i));
        if (!ch) {
            continue;
        }
        rows_.at(i)->apply(*ch);
        if (ch->group) {
            settings_.setGroup(i, *ch->group);
        }
    }
}

} // namespace Corvane
