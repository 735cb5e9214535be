#pragma once

#include "TarnConfig.h"
#include "UnitState.h"

#include <optional>
#include <string>
#include <vector>

namespace Corvane::mapping {

struct LoadPlan {
    UnitState wanted;               // the sections to send, holding the file's values
    std::vector<Section> sections;  // those sections, in sending order
    std::vector<std::string> notes; // what the file holds that is not sent, and why
};

// What loading `file` sends to a unit whose configuration is `current`. Items the file gives
// only in part (one address of the network settings, the rating but not the I²t of a fuse)
// are completed from `current`; when that part of `current` could not be read the section is
// not sent and a note says so.
//
// The PIN follows the window: "PINEnabled" False removes the PIN; True sets the file's PIN, or
// keeps the unit's own when the file has none, or gives the default 2719 when neither has
// one; a PIN without "PINEnabled" replaces the unit's PIN only when the unit has one.
LoadPlan planLoad(const TarnConfig& file, const UnitState& current);

// The PIN text of the file or the window as a number 0 to 9999 (surrounding white space and
// leading zeros allowed); none when it is not one.
std::optional<unsigned> parsePin(const std::string& text);

} // namespace Corvane::mapping
