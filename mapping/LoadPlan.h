#pragma once

#include "TarnConfig.h"
#include "UnitItems.h"
#include "UnitState.h"

#include <locale>
#include <string>
#include <vector>

namespace Corvane::mapping {

struct LoadPlan {
    UnitState current;              // the unit's configuration the plan was made against
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

// Every setting the plan sends, with the file's values.
std::vector<Item> plannedItems(const LoadPlan& plan, const std::locale& locale);
// The settings the plan changes: each one the unit holds otherwise, or could not be read,
// with the unit's value and the file's. Empty when the unit already holds the whole file.
std::vector<ItemChange> planChanges(const LoadPlan& plan, const std::locale& locale);

} // namespace Corvane::mapping
