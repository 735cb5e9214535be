#pragma once

// What the tests ask of the requests a console sent the simulated unit: which only read, and
// where the first one that changes the unit stands in the bus's record.

#include "SimBus.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace simtest {

// A configuration request that leaves the unit as it is.
inline bool onlyReads(std::uint8_t command) {
    static const std::set<std::uint8_t> reads{0x00, 0x11, 0x13, 0x21, 0x23, 0x25,
                                              0x27, 0x30, 0x32, 0x34, 0x36, 0x38};
    return reads.count(command) == 1;
}

// The index in `transfers` of the first configuration request that changes the unit, or the
// count when none does.
inline std::size_t firstWrite(const std::vector<sim::CallRecord>& transfers) {
    constexpr std::uint8_t kConfigurationOut = 0x01;
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        if (transfers[i].endpoint == kConfigurationOut && !onlyReads(transfers[i].data.at(0))) {
            return i;
        }
    }
    return transfers.size();
}

} // namespace simtest
