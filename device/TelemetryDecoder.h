#pragma once

#include "Telemetry.h"

#include <cstdint>
#include <span>

namespace tarn {

// Decodes unit-to-host telemetry packets into the three process-wide blocks. A block keeps the
// values of the last packet that carried it; the blocks are never cleared.
class TelemetryDecoder {
public:
    // Decodes one packet (its received bytes only). Blocks are taken in the order power,
    // status, temperature, each right after the one before; a block that does not fit ends
    // the walk with false, keeping the blocks converted before it. Allocates nothing.
    static bool decode(std::span<const uint8_t> packet, DataStreamFeedback& fb);

    static const PowerF32& power() { return power_; }
    static const StatusF32& status() { return status_; }
    static const TempF32& temp() { return temp_; }

private:
    static inline PowerF32 power_{};
    static inline StatusF32 status_{};
    static inline TempF32 temp_{};
};

} // namespace tarn
