#pragma once

#include "UnitState.h"

#include <locale>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::mapping {

// One setting as the operator reads it. Two items with the same label are the same setting,
// and their values are equal exactly when the unit would hold the same thing: texts are the
// unit's bytes shown in UTF-8, fuse values the wire's steps in their shortest decimal form.
struct Item {
    Section section;
    std::string label; // "mode", "channel 3 fuse" ...
    std::string value; // "MANUAL", "7.5 A" ...
};

// The items of the given sections that `state` holds, in section order. Numbers use `locale`.
std::vector<Item> describe(const UnitState& state, const std::vector<Section>& sections,
                           const std::locale& locale);

// One setting that a file gives otherwise than the unit holds it.
struct ItemChange {
    Item file;                // as the file gives it: what a load sends
    std::optional<Item> unit; // as the unit holds it; none when it could not be read
};

// Each item of `file` that `unit` does not hold with the same value, in the order of `file`.
std::vector<ItemChange> changesBetween(const std::vector<Item>& unit,
                                       const std::vector<Item>& file);

} // namespace Corvane::mapping
