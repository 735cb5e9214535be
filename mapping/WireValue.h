#pragma once

#include <cstdint>
#include <optional>

// Fuse ratings and I²t limits travel as whole steps (1 mA, 128/162759375 A²s): the device layer
// sends a value as value / step truncated toward zero and held to the int32 range, and reads
// steps back as steps × step. Comparing and writing in steps keeps a value exact through a
// save and a load: 0.7 A is sent as 699 mA, read back as 0.699, and 0.699 would be sent as 698.
namespace Corvane::mapping {

// The steps the device layer sends for `value`; none for not-a-number, which it refuses.
std::optional<std::int32_t> wireSteps(double value, double step);

// The steps behind a value the device layer read back.
std::int32_t stepsOf(double readBack, double step);

// The value with the fewest decimals that the device layer sends as exactly `steps`: what a
// file should hold so that loading it gives the unit the same setting (699 mA gives 0.7).
double shortestValueFor(std::int32_t steps, double step);

} // namespace Corvane::mapping
