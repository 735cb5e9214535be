#pragma once

#include "NamedColors.h"
#include "Telemetry.h"
#include "UnitAccessHint.h"

#include <QString>

#include <cstdint>
#include <optional>

class QLabel;

namespace tarn {
class TarnInterface;
}

namespace Corvane {

class FormMain;

// How one status box shows a state: its text, and its colours unless the state leaves them as
// they were.
struct StatusLook {
    QString text;
    std::optional<NamedColor> background;
    std::optional<NamedColor> foreground;
};

// The window's one source of live display. Each tick of timer1 either polls an open unit,
// connects a unit that has just opened (reading its whole configuration into the window once),
// or shows that none is there. Every wait is a device call bounded by its USB timeout.
class PollingLoop {
public:
    // The maker's firmware download page, offered to units older than the recommended version.
    static const char* const kDownloadUrl;
    static constexpr std::uint16_t kRecommendedMajor = 1;
    static constexpr std::uint16_t kRecommendedMinor = 0;
    static constexpr std::uint16_t kRecommendedBuild = 5;

    explicit PollingLoop(FormMain& window);

    void timer1_Tick();
    void updateInverterStatus(const tarn::InverterFeedback& inverter);
    void setSerialText(std::uint32_t serial);

    // The old-firmware notice is shown at most once per run, across reconnections.
    static bool firmwareChecked();
    // Starts a new run as far as the notice is concerned (a test standing for a fresh program).
    static void resetFirmwareChecked();

    static StatusLook relayLook(unsigned code);
    static StatusLook inverterLook(const tarn::InverterFeedback& inverter);
    static QString bluetoothText(const tarn::StatusF32::BluetoothFeedback& bluetooth);
    // The notice's text for a unit of this version.
    static QString oldFirmwareText(std::uint16_t major, std::uint16_t minor, std::uint16_t build);

private:
    void poll(tarn::TarnInterface& dev);
    void showPower(const tarn::PowerF32& power);
    void showTemperatures(const tarn::TempF32& temp);
    void showStatus(const tarn::StatusF32& status);
    void showScriptIdPin(tarn::TarnInterface& dev);

    void connectUnit(tarn::TarnInterface& dev);
    void readChannels(tarn::TarnInterface& dev);
    void checkFirmware(const tarn::TarnInterface& dev);

    void retry();

    static void setLabel(QLabel& label, const QString& text);

    FormMain& window_;
    UnitAccessHint accessHint_;
};

} // namespace Corvane
