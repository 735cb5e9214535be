#pragma once

#include "SimClock.h"
#include "SimPacketSource.h"
#include "TelemetryCsv.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// A telemetry recording played back: one packet per line at the recorded pace. A line holds
// each block's latest values, so the packet sent for it carries the block that line changed
// (power and status, or temperatures), alternating when that cannot be told.
class SimReplay : public SimPacketSource {
public:
    // The pause before the first line again when looping.
    static constexpr SimClock::Duration kLoopPause = std::chrono::milliseconds(20);

    SimReplay(std::vector<Corvane::TelemetryCsvRow> rows, bool loop);

    std::size_t writePacket(std::span<std::uint8_t, 64> packet) override;
    SimClock::Duration nextPacketIn() const override;
    // Every line has been sent once (never, when looping).
    bool finished() const { return !loop_ && next_ >= rows_.size(); }

    // The wire blocks for converted values, as the unit packs them.
    static void writePower(std::span<std::uint8_t, 40> block, const tarn::PowerF32& power);
    static void writeStatus(std::span<std::uint8_t, 17> block, const tarn::StatusF32& status);
    static void writeTemperature(std::span<std::uint8_t, 14> block, const tarn::TempF32& temp);

private:
    bool sendPower(std::size_t row) const;

    std::vector<Corvane::TelemetryCsvRow> rows_;
    bool loop_;
    std::size_t next_ = 0; // the row the next packet comes from
    bool lastWasPower_ = false;
    SimClock::Duration nextIn_{0};
};

} // namespace sim
