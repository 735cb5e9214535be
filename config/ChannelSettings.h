#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Corvane {

// One relay channel's settings; `channel` is the zero-based index (the unit has 0 to 11).
struct ChannelSettings {
    std::uint8_t channel = 0;
    std::string name;
    std::optional<double> fuse;
    std::optional<double> I2T;
    std::optional<bool> protect;
    std::optional<bool> group;

    friend bool operator==(const ChannelSettings&, const ChannelSettings&) = default;
};

} // namespace Corvane
