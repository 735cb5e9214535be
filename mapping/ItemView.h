#pragma once

#include "Comparison.h"
#include "UnitItems.h"

#include <string>
#include <vector>

// How a setting and a difference are shown, the same in the window's compare dialog and on
// tarnwell-cli's lines.
namespace Corvane::mapping {

// The value for one line of a report or one cell: texts (names, scripts) in quotes, a long or
// multi-line one cut after its first 40 characters with its length given.
std::string shown(const Item& item);

struct DifferenceView {
    std::string label; // "channel 1 fuse"
    std::string a;     // the first side's value, or what its absence means
    std::string b;
};
std::vector<DifferenceView> viewOf(const Comparison& comparison);

// "channel 1 fuse: 10 A -> 0.7 A"
std::string lineOf(const DifferenceView& view);

} // namespace Corvane::mapping
