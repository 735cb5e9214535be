#pragma once

#include "LoadPlan.h"
#include "TarnInterface.h"
#include "UnitItems.h"

#include <locale>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::mapping {

// What became of one setting chosen to be sent.
struct ItemOutcome {
    enum class Result : std::uint8_t {
        Holds,       // read back as sent
        DoesNotHold, // read back otherwise: `unit` holds what the unit has
        NotReadBack, // sent, but the unit did not answer or went away before it was read back
        NotSent,     // `why` says why
    };
    std::string label;
    Result result = Result::NotSent;
    std::optional<Item> unit;
    std::string why;
};

// The plan cut down to the settings named by `labels` (Item::label). A section goes to the unit
// when any of its settings is chosen; its other settings go with the values the unit holds, so
// that they stay as they are. A section whose unit values are not known is sent only when all of
// its settings are chosen; otherwise a note says so. Sections keep their sending order.
LoadPlan selectItems(const LoadPlan& plan, const std::vector<std::string>& labels,
                     const std::locale& locale);

// Sends the chosen settings of `plan` and reads each back: one outcome per label, in the plan's
// order of settings. Only the sections of chosen settings reach the unit.
std::vector<ItemOutcome> sendSelected(tarn::TarnInterface& dev, const LoadPlan& plan,
                                      const std::vector<std::string>& labels,
                                      const std::locale& locale);

// "holds", "does not hold: the unit has 10 A", "not sent: the unit went away"
std::string outcomeText(const ItemOutcome& outcome);

} // namespace Corvane::mapping
