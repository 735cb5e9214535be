#include "PollingLoop.h"

#include "ButtonCheckBox.h"
#include "DisplayRefresh.h"
#include "DropDownList.h"
#include "FormMain.h"
#include "HandlerGuard.h"
#include "ModuleVersion.h"
#include "NumberText.h"
#include "Packets.h"
#include "RelayChannel.h"
#include "ScriptsPanel.h"
#include "TarnInterface.h"
#include "UnitCodePage.h"
#include "UnitSettings.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QUrl>

#include <string>

namespace Corvane {
namespace {

// Set just before the notice is shown, so that ticks running inside its event loop, and any
// later connection in the same run, leave it alone.
bool checked = false;

void showLook(QLineEdit& box, const StatusLook& look) {
    DisplayRefresh::setText(box, look.text);
    if (look.background && look.foreground) {
        DisplayRefresh::setColors(box, NamedColors::color(*look.background),
                                  NamedColors::color(*look.foreground));
    }
}

QString versionText(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
    return QStringLiteral("v%1.%2.%3").arg(major).arg(minor).arg(build);
}

} // namespace

const char* const PollingLoop::kDownloadUrl = "https://www.marlin-inc.com/release-packages/";

PollingLoop::PollingLoop(FormMain& window)
    : window_(window) {}

bool PollingLoop::firmwareChecked() {
    return checked;
}

void PollingLoop::resetFirmwareChecked() {
    checked = false;
}

// ---- Tables ----

StatusLook PollingLoop::relayLook(unsigned code) {
    const QString text = QString::fromLatin1(tarn::relayStateText(code));
    switch (code) {
    case tarn::RELAY_OFF:
        return {text, NamedColor::White, NamedColor::Black};
    case tarn::RELAY_ON:
    case tarn::RELAY_NO_LOAD:
        return {text, NamedColor::Green, NamedColor::White};
    case tarn::RELAY_BAD_RELAY:
    case tarn::RELAY_BAD_FUSE:
    case tarn::RELAY_OVER_CURRENT:
        return {text, NamedColor::Red, NamedColor::White};
    default:
        return {text, std::nullopt, std::nullopt};
    }
}

StatusLook PollingLoop::inverterLook(const tarn::InverterFeedback& inverter) {
    const auto text = QString::fromLatin1(tarn::inverterStateText(inverter));
    if (inverter.over_load || inverter.over_temp) {
        return {text, NamedColor::Red, NamedColor::White};
    }
    if (inverter.on) {
        return {text, NamedColor::Green, NamedColor::White};
    }
    return {text, NamedColor::White, NamedColor::Black};
}

QString PollingLoop::bluetoothText(const tarn::StatusF32::BluetoothFeedback& bluetooth) {
    return QString::fromLatin1(tarn::bluetoothStateText(bluetooth));
}

QString PollingLoop::oldFirmwareText(std::uint16_t major, std::uint16_t minor,
                                     std::uint16_t build) {
    return QStringLiteral("Detected old firmware version ") + versionText(major, minor, build) +
           QStringLiteral("\nUpdating  to firmware version ") +
           versionText(kRecommendedMajor, kRecommendedMinor, kRecommendedBuild) +
           QStringLiteral(" is recommended.\nOpen download link in web browser?");
}

// ---- The tick ----

void PollingLoop::timer1_Tick() {
    const DeviceSlot& dev = window_.device();
    if (!dev) {
        return; // torn down; a tick still queued finds nothing to do
    }
    if (dev->isOpen()) {
        poll(*dev);
        return;
    }
    const bool opened = dev->open();
    accessHint_.update(*window_.labelConnectionStatus(), opened, dev->openFailure(),
                       dev->linkError());
    if (opened) {
        connectUnit(*dev);
    } else {
        retry();
    }
}

void PollingLoop::poll(tarn::TarnInterface& dev) {
    tarn::DataStreamFeedback fb;
    if (dev.readDataStream(fb)) {
        if (fb.power != nullptr) {
            showPower(*fb.power);
        }
        if (fb.temp != nullptr) {
            showTemperatures(*fb.temp);
        }
        if (fb.status != nullptr) {
            showStatus(*fb.status);
        }
    }
    showScriptIdPin(dev);
}

void PollingLoop::showPower(const tarn::PowerF32& power) {
    DisplayRefresh::setText(*window_.txtTotalCurrent(), NumberText::n2(power.total_current));
    DisplayRefresh::setText(*window_.txtVoltage(), NumberText::n2(power.battery));
    DisplayRefresh::setText(*window_.txtIgn1(), NumberText::n2(power.ignition[0]));
    DisplayRefresh::setText(*window_.txtIgn2(), NumberText::n2(power.ignition[1]));
    DisplayRefresh::setText(*window_.txtIgn3(), NumberText::n2(power.ignition[2]));
    const auto& rows = window_.channels();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        DisplayRefresh::setText(*rows.at(i)->textBoxCurrent, NumberText::n2(power.current.at(i)));
    }
}

void PollingLoop::showTemperatures(const tarn::TempF32& temp) {
    DisplayRefresh::setText(*window_.txtExtTemp1(), NumberText::n2(temp.external[0]));
    DisplayRefresh::setText(*window_.txtIntTemp1(), NumberText::n2(temp.internal[0]));
    DisplayRefresh::setText(*window_.txtIntTemp2(), NumberText::n2(temp.internal[1]));
    DisplayRefresh::setText(*window_.txtIntTemp3(), NumberText::n2(temp.internal[2]));
}

void PollingLoop::showStatus(const tarn::StatusF32& status) {
    setLabel(*window_.labelBluetoothValue(), bluetoothText(status.bluetooth));
    DropDownList& mode = *window_.cboMode();
    if (!window_.modeChange() && status.mode < mode.count() && mode.currentIndex() != status.mode) {
        mode.setCurrentIndex(status.mode);
    }
    const auto& rows = window_.channels();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        showLook(*rows.at(i)->txtBoxRelayStatus, relayLook(status.channel.at(i).relay_state));
    }
    updateInverterStatus(status.inverter);
}

void PollingLoop::showScriptIdPin(tarn::TarnInterface& dev) {
    tarn::ScriptType script = tarn::SCRIPT_NONE;
    if (dev.getScriptStatus(&script)) {
        window_.checkboxScriptStartup()->setChecked(script == tarn::SCRIPT_IGNITION_ON);
        window_.checkboxScriptShutdown()->setChecked(script == tarn::SCRIPT_IGNITION_OFF);
    }
    if (!window_.idChange()) {
        window_.updateId();
    }
    if (!window_.pinChange()) {
        window_.updatePin();
    }
}

void PollingLoop::updateInverterStatus(const tarn::InverterFeedback& inverter) {
    showLook(*window_.inverterChannel().txtBoxRelayStatus, inverterLook(inverter));
}

void PollingLoop::setSerialText(std::uint32_t serial) {
    // The platform's line break puts the number on the line below the caption.
    setLabel(*window_.labelSerialNumber(),
             QStringLiteral("Serial Number:%1%2").arg(QStringLiteral("\n")).arg(serial));
}

// ---- Connecting ----

void PollingLoop::connectUnit(tarn::TarnInterface& dev) {
    readChannels(dev);
    UnitSettings& settings = window_.unitSettings();
    settings.updateGroups();
    window_.updateMode();
    window_.updateId();
    window_.updatePin();
    window_.loadScript();
    settings.updateBluetoothEnabled();
    const bool streaming = dev.sendDataStreamEnable();
    setLabel(*window_.labelConnectionStatus(),
             QStringLiteral("Firmware ") +
                 versionText(dev.versionMajor(), dev.versionMinor(), dev.versionBuild()));
    setSerialText(dev.serialNumber());
    window_.inverterChannel().SetVisible(dev.hwRev() > 1);
    checkFirmware(dev);
    if (!streaming) {
        // A unit whose stream did not start would stay connected with its readings frozen.
        // Closed, it is connected afresh by the next tick.
        dev.closeDevice();
    }
}

void PollingLoop::readChannels(tarn::TarnInterface& dev) {
    const auto& rows = window_.channels();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        RelayChannel& row = *rows.at(i);
        const auto channel = static_cast<std::uint32_t>(i);
        double rating = 0;
        double i2t = 0;
        bool protect = false;
        if (dev.getChannelConfig(channel, &rating, &i2t, &protect)) {
            // The lock keeps the row's own fuse handlers from writing these values back.
            row.fuseLock();
            row.updateFuse(rating);
            DisplayRefresh::setText(*row.txtBoxCurrentSq, NumberText::n1(i2t));
            row.checkBox1->setChecked(protect);
            row.fuseUnlock();
        }
        std::string name;
        if (dev.getChannelName(channel, &name)) {
            row.lblChannel->setText(UnitCodePage::fromUnit(name));
        }
    }
    std::string name;
    if (dev.getChannelName(tarn::TarnInterface::kInverterChannel, &name)) {
        window_.inverterChannel().lblChannel->setText(UnitCodePage::fromUnit(name));
    }
}

void PollingLoop::checkFirmware(const tarn::TarnInterface& dev) {
    const auto major = static_cast<std::uint16_t>(dev.versionMajor());
    const auto minor = static_cast<std::uint16_t>(dev.versionMinor());
    const auto build = static_cast<std::uint16_t>(dev.versionBuild());
    const tarn::ModuleVersion recommended(kRecommendedMajor, kRecommendedMinor, kRecommendedBuild);
    if (!(tarn::ModuleVersion(major, minor, build) < recommended) || checked) {
        return;
    }
    checked = true;
    // Qt never fires a timer again while its own handler runs, so a notice shown from inside
    // this tick would stop the polling until it closed. Shown straight after the tick instead,
    // its event loop keeps timer1 ticking, and those ticks poll.
    const QString text = oldFirmwareText(major, minor, build);
    FormMain* window = &window_;
    // A posted call, not a zero timer: under a timer's own dispatch no timer fires at all.
    QMetaObject::invokeMethod(
        window,
        [window, text] {
            HandlerGuard::run(window, [window, &text] {
                QMessageBox notice(QMessageBox::Information, HandlerGuard::caption(), text,
                                   QMessageBox::Ok | QMessageBox::Cancel, window);
                if (notice.exec() == QMessageBox::Ok) {
                    // Without a browser to start the page simply stays closed; the loop goes on.
                    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kDownloadUrl)));
                }
            });
        },
        Qt::QueuedConnection);
}

// ---- No unit ----

void PollingLoop::retry() {
    setLabel(*window_.labelConnectionStatus(), QStringLiteral("Disconnected"));
    setLabel(*window_.labelBluetoothValue(), QStringLiteral("Unknown"));
    window_.checkboxScriptStartup()->setChecked(false);
    window_.checkboxScriptShutdown()->setChecked(false);
}

void PollingLoop::setLabel(QLabel& label, const QString& text) {
    if (label.text() != text) {
        label.setText(text);
    }
}

} // namespace Corvane
