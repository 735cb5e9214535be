#include "ConfigTransfer.h"

#include "ConfigFileError.h"
#include "ConfigLocale.h"
#include "HandlerGuard.h"
#include "ScriptsPanel.h"
#include "TarnConfig.h"
#include "TarnInterface.h"
#include "UnitCodePage.h"
#include "UnitSettings.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Corvane {
namespace {

using Address = std::optional<Ipv4Address> IPSettings::*;
constexpr std::array<Address, 6> kAddresses{&IPSettings::address, &IPSettings::subnet,
                                            &IPSettings::gateway, &IPSettings::dns1,
                                            &IPSettings::dns2,    &IPSettings::lcmAddress};

// The bytes of the unit's button record and the fields they travel in; the two valet buttons
// have no byte and never reach the unit.
struct ButtonField {
    std::optional<std::uint8_t> SwitchBoardSettings::*field;
    std::uint8_t tarn::CanMsgConfig::*byte;
};
constexpr std::array<ButtonField, 8> kButtons{{
    {&SwitchBoardSettings::modeSelect, &tarn::CanMsgConfig::mode_select},
    {&SwitchBoardSettings::startup, &tarn::CanMsgConfig::startup},
    {&SwitchBoardSettings::shutdown, &tarn::CanMsgConfig::shutdown},
    {&SwitchBoardSettings::autoBtn, &tarn::CanMsgConfig::mode_auto},
    {&SwitchBoardSettings::manual, &tarn::CanMsgConfig::mode_manual},
    {&SwitchBoardSettings::valet, &tarn::CanMsgConfig::mode_valet},
    {&SwitchBoardSettings::inverterMaster, &tarn::CanMsgConfig::inverter_master},
    {&SwitchBoardSettings::inverterSlave, &tarn::CanMsgConfig::inverter_slave},
}};

struct ScriptItem {
    ScriptsPanel::Slot box;
    bool (tarn::TarnInterface::*read)(std::string&);
    bool (tarn::TarnInterface::*write)(const std::string&);
    void (TarnConfig::*store)(std::string);
    const std::string& (TarnConfig::*stored)() const;
    bool (TarnConfig::*present)() const;
};
const std::array<ScriptItem, ScriptsPanel::kSlots> kScripts{{
    {ScriptsPanel::Startup, &tarn::TarnInterface::getScriptIgnitionOn,
     &tarn::TarnInterface::setScriptIgnitionOn, &TarnConfig::setStartupScript,
     &TarnConfig::getStartupScript, &TarnConfig::startupScriptHasValue},
    {ScriptsPanel::Shutdown, &tarn::TarnInterface::getScriptIgnitionOff,
     &tarn::TarnInterface::setScriptIgnitionOff, &TarnConfig::setShutdownScript,
     &TarnConfig::getShutdownScript, &TarnConfig::shutdownScriptHasValue},
    {ScriptsPanel::ValetStartup, &tarn::TarnInterface::getScriptValetIgnitionOn,
     &tarn::TarnInterface::setScriptValetIgnitionOn, &TarnConfig::setValetStartupScript,
     &TarnConfig::getValetStartupScript, &TarnConfig::valetStartupScriptHasValue},
    {ScriptsPanel::ValetShutdown, &tarn::TarnInterface::getScriptValetIgnitionOff,
     &tarn::TarnInterface::setScriptValetIgnitionOff, &TarnConfig::setValetShutdownScript,
     &TarnConfig::getValetShutdownScript, &TarnConfig::valetShutdownScriptHasValue},
}};

// The configuration model keeps its texts as UTF-8, which is also what the file holds.
std::string modelText(const QString& text) {
    return text.toStdString();
}

QString windowText(const std::string& text) {
    return QString::fromStdString(text);
}

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

ConfigTransfer::ConfigTransfer(QWidget& window, const DeviceSlot& dev, UnitSettings& settings,
                               ScriptsPanel& scripts, const ChannelRows& rows)
    : window_(window)
    , dev_(dev)
    , settings_(settings)
    , scripts_(scripts)
    , rows_(rows) {}

tarn::TarnInterface* ConfigTransfer::device() const {
    return dev_.get();
}

// ---- Menu commands ----

void ConfigTransfer::saveConfigXMLToolStripMenuItem_Click() {
    const std::optional<QString> path = askPath(true);
    if (!path) {
        return;
    }
    try {
        collect().writeConfigFile(pathBytes(*path));
    } catch (const std::exception& error) {
        report(QStringLiteral("saved to"), *path, error);
    }
}

void ConfigTransfer::loadConfigxmlToolStripMenuItem_Click() {
    const tarn::TarnInterface* dev = device();
    if (dev == nullptr || !dev->isOpen()) {
        return;
    }
    const std::optional<QString> path = askPath(false);
    if (!path) {
        return;
    }
    try {
        TarnConfig config(configNumberLocale(QLocale()));
        config.readConfigFile(pathBytes(*path));
        // The unit may have gone while the dialog was open; then nothing could reach it, and the
        // controls would show values that no unit holds.
        dev = device();
        if (dev != nullptr && dev->isOpen()) {
            apply(config);
        }
    } catch (const std::exception& error) {
        report(QStringLiteral("loaded from"), *path, error);
    }
}

std::optional<QString> ConfigTransfer::askPath(bool saving) const {
    // Qt's own dialog rather than the desktop's: the same on every desktop, and drivable in tests.
    QFileDialog dialog(&window_);
    dialog.setObjectName(saving ? QStringLiteral("saveFileDialog1")
                                : QStringLiteral("openFileDialog1"));
    dialog.setWindowTitle(saving ? QStringLiteral("Save Config") : QStringLiteral("Load Config"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(nameFilter());
    dialog.setDefaultSuffix(QStringLiteral("xml"));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) {
        return std::nullopt;
    }
    return files.front();
}

void ConfigTransfer::report(const QString& action, const QString& path,
                            const std::exception& error) const {
    try {
        QString reason = QString::fromLocal8Bit(error.what());
        QString where;
        if (const auto* fileError = dynamic_cast<const ConfigFileError*>(&error)) {
            reason = QString::fromLocal8Bit(fileError->reason());
            if (const auto& position = fileError->position()) {
                where = QStringLiteral("Line %1, column %2.")
                            .arg(static_cast<qulonglong>(position->line))
                            .arg(static_cast<qulonglong>(position->column));
            }
        }
        QString text = QStringLiteral("The configuration could not be %1\n%2\n\nReason: %3")
                           .arg(action, QDir::toNativeSeparators(path), reason);
        if (!where.isEmpty()) {
            text += QStringLiteral("\n") + where;
        }
        QMessageBox box(QMessageBox::Critical, HandlerGuard::caption(), text, QMessageBox::Ok,
                        &window_);
        box.setObjectName(QStringLiteral("configFileError"));
        box.exec();
    } catch (...) {
        // Nothing is left to tell the operator with; the command has ended all the same.
    }
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
    tarn::TarnInterface* dev = device();
    if (dev == nullptr) {
        return;
    }
    std::array<std::uint32_t, kAddresses.size()> addresses{};
    std::uint16_t port = 0;
    bool dhcp = false;
    if (dev->getIPSettings(&addresses[0], &addresses[1], &addresses[2], &addresses[3],
                           &addresses[4], &addresses[5], &port, &dhcp)) {
        IPSettings ip;
        for (std::size_t i = 0; i < kAddresses.size(); ++i) {
            ip.*kAddresses.at(i) = Ipv4Address::fromDeviceValue(addresses.at(i));
        }
        ip.lcmPort = port;
        ip.dhcp = dhcp;
        config.setIP(ip);
    }
    tarn::CanMsgConfig buttons{};
    if (dev->getButtonConfig(&buttons)) {
        SwitchBoardSettings board;
        for (const ButtonField& b : kButtons) {
            board.*b.field = buttons.*b.byte;
        }
        config.setSwitchBoard(board);
    }
    for (const ScriptItem& s : kScripts) {
        std::string text;
        if ((dev->*s.read)(text)) {
            (config.*s.store)(modelText(UnitCodePage::fromUnit(text)));
        }
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

// The file's values over the unit's current ones. When the unit's cannot be read, the record is
// sent only if the file supplies every field of it.
void ConfigTransfer::applyNetwork(const TarnConfig& config) const {
    if (!config.ipHasValue()) {
        return;
    }
    const IPSettings& file = config.getIP();
    tarn::TarnInterface& dev = *device();
    std::array<std::uint32_t, kAddresses.size()> addresses{};
    std::uint16_t port = 0;
    bool dhcp = false;
    const bool read = dev.getIPSettings(&addresses[0], &addresses[1], &addresses[2], &addresses[3],
                                        &addresses[4], &addresses[5], &port, &dhcp);
    bool complete = file.lcmPort.has_value() && file.dhcp.has_value();
    for (std::size_t i = 0; i < kAddresses.size(); ++i) {
        const std::optional<Ipv4Address>& address = file.*kAddresses.at(i);
        complete = complete && address.has_value();
        if (address) {
            addresses.at(i) = address->toDeviceValue();
        }
    }
    if (!read && !complete) {
        return;
    }
    dev.setIPSettings(addresses[0], addresses[1], addresses[2], addresses[3], addresses[4],
                      addresses[5], file.lcmPort.value_or(port), file.dhcp.value_or(dhcp));
}

void ConfigTransfer::applySwitchBoard(const TarnConfig& config) const {
    if (!config.switchBoardHasValue()) {
        return;
    }
    const SwitchBoardSettings& file = config.getSwitchBoard();
    tarn::TarnInterface& dev = *device();
    tarn::CanMsgConfig buttons{};
    const bool read = dev.getButtonConfig(&buttons);
    bool complete = true;
    for (const ButtonField& b : kButtons) {
        complete = complete && (file.*b.field).has_value();
        if ((file.*b.field).has_value()) {
            buttons.*b.byte = *(file.*b.field);
        }
    }
    if (!read && !complete) {
        return;
    }
    dev.setButtonConfig(buttons);
}

// A box shows a loaded script only once the unit has taken it; a refused one (too long, or a
// failed transfer) leaves the box showing what it showed, and the next script is still sent.
void ConfigTransfer::applyScripts(const TarnConfig& config) const {
    for (const ScriptItem& s : kScripts) {
        if (!(config.*s.present)()) {
            continue;
        }
        const std::string sent = UnitCodePage::toUnit(windowText((config.*s.stored)()));
        if ((device()->*s.write)(sent)) {
            scripts_.showScript(s.box, UnitCodePage::fromUnit(sent));
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
