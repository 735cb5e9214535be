#pragma once

#include "ColumnGrid.h"
#include "RingSlice.h"

#include <cstdint>
#include <vector>

namespace Corvane {

// One point of a decimated trace: a sample's value drawn at its pixel column. A line joins it to
// the point before unless breakBefore (a gap, or values unknown, lie between them).
struct PlotPoint {
    int column;
    float value;
    bool breakBefore;
};

// A column's states: the last state in it, and the first fault state it entered (0 for none).
struct StateColumn {
    std::uint8_t last;
    std::uint8_t entered;
};

// Min/max decimation: for every column holding samples, its smallest and largest known (not
// NaN) value, in the order they occurred, so a column draws as one vertical stroke and a single
// sample's spike survives at any width. A column whose values are all one sample's value gives
// one point. A line is broken before a point when, since the first known value of the column
// drawn before it up to the point's column's first known value, a sample is gap-marked or NaN.
// `out` is cleared and refilled (a caller keeps it between frames to save allocations).
void decimate(const ColumnGrid& grid, const RingSlice<float>& values, std::vector<PlotPoint>& out);
std::vector<PlotPoint> decimate(const ColumnGrid& grid, const RingSlice<float>& values);

// One StateColumn per column (empty columns repeat the state carried in). `before` is the state
// just before the run (kept as is when unknown); bit k of `faultMask` makes code k a fault.
void decimateStates(const ColumnGrid& grid, const RingSlice<std::uint8_t>& states,
                    std::uint8_t before, std::uint16_t faultMask, std::vector<StateColumn>& out);

} // namespace Corvane
