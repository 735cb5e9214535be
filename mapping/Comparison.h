#pragma once

#include "LoadPlan.h"
#include "TarnConfig.h"
#include "UnitItems.h"
#include "UnitState.h"

#include <cstddef>
#include <locale>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::mapping {

// One setting that two configurations (a unit and a file, or two files) do not share.
struct ItemDifference {
    std::string label;
    std::optional<Item> a; // none: the first lacks it (a unit: it could not be read)
    std::optional<Item> b; // none: the second lacks it
};

struct Comparison {
    std::size_t itemsA = 0; // settings the first holds (a unit: every one that could be read)
    std::size_t itemsB = 0; // settings the second holds
    std::vector<ItemDifference> differences; // equal settings are not listed
    std::vector<std::string> notes;          // what a file holds that cannot be compared, and why
    LoadPlan plan; // unit and file: what loading the file would send (Send Selected starts here)
    std::string absentA; // what a missing first value means: "(could not be read)"
    std::string absentB;
};

// The unit (first) against a file (second): each setting the file gives that the unit holds
// otherwise or that could not be read. What the unit holds and the file does not name is not a
// difference: loading the file leaves it alone.
Comparison compareWithUnit(const TarnConfig& file, const UnitState& unit,
                           const std::locale& locale);

// Two files, without a unit: each setting that one gives and the other lacks or gives otherwise,
// in the order a configuration is sent.
Comparison compareFiles(const TarnConfig& a, const TarnConfig& b, const std::locale& locale);

// Every setting the file gives, whatever the unit it is loaded onto holds: a part of a record
// that the file leaves to the unit (the gateway of network settings that give only the address)
// is not one. `notes` receives what the file holds that no unit would be sent.
std::vector<Item> fileItems(const TarnConfig& file, const std::locale& locale,
                            std::vector<std::string>& notes);

} // namespace Corvane::mapping
