#pragma once

#include "SimClock.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace sim {

// Where a streaming SimUnit takes its packets from instead of its electrical model.
class SimPacketSource {
public:
    virtual ~SimPacketSource() = default;
    // Fills the next packet; returns its length.
    virtual std::size_t writePacket(std::span<std::uint8_t, 64> packet) = 0;
    // How long after the packet just written the next one falls due.
    virtual SimClock::Duration nextPacketIn() const = 0;
};

} // namespace sim
