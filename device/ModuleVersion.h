#pragma once

#include <cstdint>

namespace tarn {

// A firmware version as one ordered 64-bit value: build in the lowest 16 bits, then minor,
// then major, and a top part that is always 0, so comparing values orders by major, minor,
// build.
class ModuleVersion {
public:
    constexpr ModuleVersion(uint16_t major, uint16_t minor, uint16_t build)
        : value_((uint64_t{major} << 32) | (uint64_t{minor} << 16) | uint64_t{build}) {}

    constexpr uint16_t major() const { return part(2); }
    constexpr uint16_t minor() const { return part(1); }
    constexpr uint16_t build() const { return part(0); }
    constexpr uint64_t value() const { return value_; }

    constexpr bool operator<(const ModuleVersion& other) const { return value_ < other.value_; }
    constexpr bool operator==(const ModuleVersion& other) const = default;

private:
    constexpr uint16_t part(unsigned index) const {
        return static_cast<uint16_t>((value_ >> (16 * index)) & 0xFFFFu);
    }

    uint64_t value_;
};
static_assert(sizeof(ModuleVersion) == 8);

// The firmware owners are asked to update to, by the window and tarnwell-cli, when a unit has
// an older one.
inline constexpr ModuleVersion kRecommendedFirmware{1, 0, 5};

} // namespace tarn
