#pragma once

#include "TarnInterface.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace Corvane::cli {

// What `info --json` prints and `publish` keeps retained on the broker: the unit's identity and
// the names of its outputs.
struct UnitInfo {
    std::uint32_t serial = 0;
    std::string firmware; // "major.minor.build"
    std::uint32_t hardwareRevision = 0;
    bool updateRecommended = false;
    // Channels 1-12, then the inverter output, in UTF-8; empty where the name cannot be read.
    std::array<std::optional<std::string>, 13> names{};
};

// Whether the window would ask the owner to update this unit's firmware.
bool firmwareUpdateRecommended(const tarn::TarnInterface& dev);

// The identity of an open unit, and every output's name (13 requests).
UnitInfo readUnitInfo(tarn::TarnInterface& dev);

// {"serial", "firmware", "hardware_revision", "update_recommended", "channel_names" (twelve
// strings), "inverter_name"}; a name that could not be read is null.
std::string unitInfoJson(const UnitInfo& info);

// The name to show for output `index` (0-11, 12 the inverter): the unit's own, or "Channel N" /
// "Inverter" when it could not be read or is empty.
std::string outputLabel(const UnitInfo& info, std::size_t index);

} // namespace Corvane::cli
