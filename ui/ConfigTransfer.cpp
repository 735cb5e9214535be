#include "ConfigTransfer.h"

#include "ConfigFileError.h"
#include "ConfigLocale.h"
#include "ConfigMapping.h"
#include "DropDownList.h"
#include "FocusLineEdit.h"
#include "FormMain.h"
#include "HandlerGuard.h"
#include "NumberText.h"
#include "RecordMerge.h"
#include "RelayChannel.h"
#include "ScriptsPanel.h"
#include "TarnConfig.h"
#include "TarnInterface.h"
#include "UnitCodePage.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Corvane {
namespace {

// The script boxes in the unit's order of scripts.
constexpr std::array<ScriptsPanel::Slot, mapping::kScripts> kScriptBoxes{
    ScriptsPanel::Startup, ScriptsPanel::Shutdown, ScriptsPanel::ValetStartup,
    ScriptsPanel::ValetShutdown};

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

// General number format in the window's locale: 7.5, 30, 1130, never grouped.
QString generalNumber(double value) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

// Setting an editable combo box's text: an item with that text becomes the selection (which the
// row hears as a change of selection), any other text leaves none selected.
void setComboText(DropDownList& box, const QString& text) {
    box.setCurrentIndex(box.findText(text, Qt::MatchExactly));
    if (box.currentText() != text) {
        box.setEditText(text);
    }
}

} // namespace

ConfigTransfer::ConfigTransfer(FormMain& window)
    : window_(window) {}

tarn::TarnInterface* ConfigTransfer::device() const {
    return window_.device().get();
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
    config.setMode(window_.cboMode()->currentIndex());
    config.setId(window_.cboId()->currentIndex());
    config.setPin(modelText(window_.txtPin()->text()));
    config.setPinEnabled(window_.chkPin()->isChecked());
    config.setBluetoothEnabled(window_.checkBoxEnableBluetooth()->isChecked());
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
    for (std::size_t i = 0; i < window_.channels().size(); ++i) {
        const RelayChannel& row = *window_.channels().at(i);
        ChannelSettings ch;
        ch.channel = static_cast<std::uint8_t>(i);
        ch.name = modelText(row.lblChannel->text());
        ch.fuse = NumberText::parse(row.comboBoxFuse->currentText()).value_or(0.0);
        ch.I2T = NumberText::parse(row.txtBoxCurrentSq->text()).value_or(0.0);
        ch.protect = row.checkBox1->isChecked();
        ch.group = window_.chkGrp(static_cast<int>(i) + 1)->isChecked();
        config.setChannel(ch.channel, ch);
    }
}

// ---- Load ----

void ConfigTransfer::apply(const TarnConfig& config) const {
    if (device() == nullptr) {
        return;
    }
    applySettings(config);
    applyNetwork(config);
    applySwitchBoard(config);
    applyScripts(config);
    applyChannels(config);
}

// Mode and id go to the unit and show at the next poll; PIN and the two check boxes are set in
// the window, whose own handlers send what changed.
void ConfigTransfer::applySettings(const TarnConfig& config) const {
    if (config.modeHasValue()) {
        window_.setMode(config.getMode());
    }
    if (config.idHasValue()) {
        device()->setId(static_cast<std::uint8_t>(config.getId()));
    }
    if (config.pinHasValue()) {
        window_.txtPin()->setText(windowText(config.getPin()));
    }
    if (config.pinEnabledHasValue()) {
        window_.chkPin()->setChecked(config.getPinEnabled());
    }
    if (config.bluetoothEnabledHasValue()) {
        window_.checkBoxEnableBluetooth()->setChecked(config.getBluetoothEnabled());
    }
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
            window_.scriptsPanel()
                .textbox(kScriptBoxes.at(i))
                ->setPlainText(UnitCodePage::fromUnit(sent));
        }
    }
}

// Names go to the unit here; fuse, I²t, protect and group go into the rows' and the group
// boxes' controls, whose own handlers decide what the unit is sent.
void ConfigTransfer::applyChannels(const TarnConfig& config) const {
    if (!config.channelHasValue()) {
        return;
    }
    for (std::size_t i = 0; i < window_.channels().size(); ++i) {
        const std::optional<ChannelSettings> ch = config.getChannel(static_cast<std::int32_t>(i));
        if (!ch) {
            continue;
        }
        RelayChannel& row = *window_.channels().at(i);
        // Cut where the unit cuts, so that the label shows the name the unit holds.
        const std::string name =
            UnitCodePage::toUnit(windowText(ch->name), tarn::TarnInterface::kMaxNameBytes);
        if (device()->setChannelName(static_cast<std::uint32_t>(i), name)) {
            row.lblChannel->setText(UnitCodePage::fromUnit(name));
        }
        if (ch->fuse) {
            setComboText(*row.comboBoxFuse, generalNumber(*ch->fuse));
        }
        if (ch->I2T) {
            row.txtBoxCurrentSq->setText(generalNumber(*ch->I2T));
        }
        if (ch->protect) {
            row.checkBox1->setChecked(*ch->protect);
        }
        if (ch->group) {
            window_.chkGrp(static_cast<int>(i) + 1)->setChecked(*ch->group);
        }
    }
}

} // namespace Corvane
