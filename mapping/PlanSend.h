#pragma once

#include "LoadPlan.h"
#include "TarnInterface.h"
#include "UnitItems.h"

#include <cstddef>
#include <locale>
#include <optional>
#include <vector>

namespace Corvane::mapping {

struct SendReport {
    std::size_t sent = 0;         // sections sent while the unit stayed: all of them, unless gone
    std::vector<Section> refused; // sent, but not acknowledged by the unit
    bool unitGone = false;        // the unit went away; the sections after `sent` were not sent
};

// Sends every section of the plan in order. A section the unit does not acknowledge is noted
// and the rest are still sent, as the window does; nothing is sent once the unit is gone.
SendReport sendPlan(tarn::TarnInterface& dev, const LoadPlan& plan);

// Reads every section of the plan back and returns each setting that does not hold what was
// sent, with what the unit holds instead; none when the unit went away while it was read.
std::optional<std::vector<ItemChange>> readBackPlan(tarn::TarnInterface& dev, const LoadPlan& plan,
                                                    const std::locale& locale);

} // namespace Corvane::mapping
