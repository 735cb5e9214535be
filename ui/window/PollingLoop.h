#pragma once

#include "DeviceSlot.h"
#include "RelayChannel.h"

#include <QString>

#include <cstdint>

class QWidget;

namespace tarn {
struct DataStreamFeedback;
struct InverterFeedback;
} // namespace tarn

namespace Corvane {

class Readings;
class ScriptsPanel;
class UnitSettings;

// The window's one source of live display. Each tick of timer1 either polls an open unit,
// connects a unit that has just opened (reading its whole configuration into the window once),
// or shows that none is there. Every wait is a device call bounded by its USB timeout. A tick
// reads; what it read goes to the column that shows it.
// Where the loop hands the telemetry it shows (the live plot's history, a recording).
class TelemetrySink {
public:
    virtual ~TelemetrySink() = default;
    // A packet the window has just shown.
    virtual void packetShown(const tarn::DataStreamFeedback& packet) = 0;
    // A tick found no unit: called on every such tick.
    virtual void unitAway() = 0;
};

class PollingLoop {
public:
    // The maker's firmware download page, offered to units older than the recommended version.
    static const char* const kDownloadUrl;

    // `window` parents the old-firmware notice; every part outlives the loop.
    PollingLoop(QWidget& window, const DeviceSlot& dev, UnitSettings& settings, Readings& readings,
                ScriptsPanel& scripts, const ChannelRows& rows, RelayChannel& inverter);

    void timer1_Tick();
    void updateInverterStatus(const tarn::InverterFeedback& inverter);
    void setSerialText(std::uint32_t serial);
    // The sink outlives the loop, or is unset first.
    void setTelemetrySink(TelemetrySink* sink) { sink_ = sink; }

    // The old-firmware notice is shown at most once per run, across reconnections.
    static bool firmwareChecked();
    // Starts a new run as far as the notice is concerned (a test standing for a fresh program).
    static void resetFirmwareChecked();

    // The notice's text for a unit of this version.
    static QString oldFirmwareText(std::uint16_t major, std::uint16_t minor, std::uint16_t build);

private:
    void poll(tarn::TarnInterface& dev);
    void showPower(const tarn::PowerF32& power);
    void showStatus(const tarn::StatusF32& status);
    void showScriptIdPin(tarn::TarnInterface& dev);

    void connectUnit(tarn::TarnInterface& dev);
    void readChannels(tarn::TarnInterface& dev);
    void checkFirmware(const tarn::TarnInterface& dev);

    void retry();

    QWidget& window_;
    const DeviceSlot& dev_;
    UnitSettings& settings_;
    Readings& readings_;
    ScriptsPanel& scripts_;
    const ChannelRows& rows_;
    RelayChannel& inverter_;
    TelemetrySink* sink_ = nullptr;
};

} // namespace Corvane
