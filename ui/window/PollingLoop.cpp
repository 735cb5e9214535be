#include "PollingLoop.h"

#include "HandlerGuard.h"
#include "ModuleVersion.h"
#include "Packets.h"
#include "Readings.h"
#include "ScriptsPanel.h"
#include "TarnInterface.h"
#include "Telemetry.h"
#include "UnitSettings.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QMetaObject>
#include <QUrl>
#include <QWidget>

#include <string>

namespace Corvane {
namespace {

// Set just before the notice is shown, so that ticks running inside its event loop, and any
// later connection in the same run, leave it alone.
bool checked = false;

QString versionText(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
    return QStringLiteral("v%1.%2.%3").arg(major).arg(minor).arg(build);
}

} // namespace

const char* const PollingLoop::kDownloadUrl = "https://www.marlin-inc.com/release-packages/";

PollingLoop::PollingLoop(QWidget& window, const DeviceSlot& dev, UnitSettings& settings,
                         Readings& readings, ScriptsPanel& scripts, const ChannelRows& rows,
                         RelayChannel& inverter)
    : window_(window)
    , dev_(dev)
    , settings_(settings)
    , readings_(readings)
    , scripts_(scripts)
    , rows_(rows)
    , inverter_(inverter) {}

bool PollingLoop::firmwareChecked() {
    return checked;
}

void PollingLoop::resetFirmwareChecked() {
    checked = false;
}

// ---- The notice ----

QString PollingLoop::oldFirmwareText(std::uint16_t major, std::uint16_t minor,
                                     std::uint16_t build) {
    return QStringLiteral("Detected old firmware version ") + versionText(major, minor, build) +
           QStringLiteral("\nUpdating  to firmware version ") +
           versionText(tarn::kRecommendedFirmware.major(), tarn::kRecommendedFirmware.minor(),
                       tarn::kRecommendedFirmware.build()) +
           QStringLiteral(" is recommended.\nOpen download link in web browser?");
}

// ---- The tick ----

void PollingLoop::timer1_Tick() {
    if (!dev_) {
        return; // torn down; a tick still queued finds nothing to do
    }
    tarn::TarnInterface& dev = *dev_;
    if (dev.isOpen()) {
        poll(dev);
        return;
    }
    const bool opened = dev.open();
    settings_.showOpenResult(opened, dev.openFailure(), dev.linkError());
    if (opened) {
        connectUnit(dev);
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
            readings_.showTemperatures(*fb.temp);
        }
        if (fb.status != nullptr) {
            showStatus(*fb.status);
        }
        if (sink_ != nullptr) {
            sink_->packetShown(fb);
        }
    }
    showScriptIdPin(dev);
}

void PollingLoop::showPower(const tarn::PowerF32& power) {
    readings_.showPower(power);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_.at(i)->showCurrent(power.current.at(i));
    }
}

void PollingLoop::showStatus(const tarn::StatusF32& status) {
    settings_.showBluetooth(status.bluetooth);
    settings_.showMode(status.mode);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_.at(i)->showRelayState(status.channel.at(i).relay_state);
    }
    updateInverterStatus(status.inverter);
}

void PollingLoop::showScriptIdPin(tarn::TarnInterface& dev) {
    tarn::ScriptType script = tarn::SCRIPT_NONE;
    if (dev.getScriptStatus(&script)) {
        scripts_.showScriptStatus(script);
    }
    if (!settings_.idChange()) {
        settings_.updateId();
    }
    if (!settings_.pinChange()) {
        settings_.updatePin();
    }
}

void PollingLoop::updateInverterStatus(const tarn::InverterFeedback& inverter) {
    inverter_.showInverterState(inverter);
}

void PollingLoop::setSerialText(std::uint32_t serial) {
    settings_.showSerial(serial);
}

// ---- Connecting ----

void PollingLoop::connectUnit(tarn::TarnInterface& dev) {
    readChannels(dev);
    settings_.updateGroups();
    settings_.updateMode();
    settings_.updateId();
    settings_.updatePin();
    scripts_.loadScript();
    settings_.updateBluetoothEnabled();
    const bool streaming = dev.sendDataStreamEnable();
    settings_.showFirmware(dev.versionMajor(), dev.versionMinor(), dev.versionBuild());
    setSerialText(dev.serialNumber());
    inverter_.SetVisible(dev.hwRev() > 1);
    checkFirmware(dev);
    if (!streaming) {
        // A unit whose stream did not start would stay connected with its readings frozen.
        // Closed, it is connected afresh by the next tick.
        dev.closeDevice();
    }
}

void PollingLoop::readChannels(tarn::TarnInterface& dev) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        RelayChannel& row = *rows_.at(i);
        const auto channel = static_cast<std::uint32_t>(i);
        double rating = 0;
        double i2t = 0;
        bool protect = false;
        if (dev.getChannelConfig(channel, &rating, &i2t, &protect)) {
            row.showUnitFuse(rating, i2t, protect);
        }
        std::string name;
        if (dev.getChannelName(channel, &name)) {
            row.showUnitName(name);
        }
    }
    std::string name;
    if (dev.getChannelName(tarn::TarnInterface::kInverterChannel, &name)) {
        inverter_.showUnitName(name);
    }
}

void PollingLoop::checkFirmware(const tarn::TarnInterface& dev) {
    const auto major = static_cast<std::uint16_t>(dev.versionMajor());
    const auto minor = static_cast<std::uint16_t>(dev.versionMinor());
    const auto build = static_cast<std::uint16_t>(dev.versionBuild());
    if (!(tarn::ModuleVersion(major, minor, build) < tarn::kRecommendedFirmware) || checked) {
        return;
    }
    checked = true;
    // Qt never fires a timer again while its own handler runs, so a notice shown from inside
    // this tick would stop the polling until it closed. Shown straight after the tick instead,
    // its event loop keeps timer1 ticking, and those ticks poll.
    const QString text = oldFirmwareText(major, minor, build);
    QWidget* window = &window_;
    const DeviceSlot* slot = &dev_; // the window's, so it lives as long as the call can run
    // A posted call, not a zero timer: under a timer's own dispatch no timer fires at all.
    QMetaObject::invokeMethod(
        window,
        [window, slot, text] {
            if (!*slot) {
                return; // the window was torn down before the notice could come up
            }
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
    settings_.showDisconnected();
    scripts_.showNoScript();
    if (sink_ != nullptr) {
        sink_->unitAway();
    }
}

} // namespace Corvane
