#pragma once

#include "BlockSummary.h"
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

    bool operator==(const PlotPoint&) const = default;
};

// A column's states: the last state in it, and the first fault state it entered (0 for none).
struct StateColumn {
    std::uint8_t last;
    std::uint8_t entered;
};

// What decimate() found in each column, by the sequence numbers of the samples (see
// ColumnGrid::anchor): the next frame takes every column that still holds the same samples from
// here, since a sample never changes once stored. Kept per trace by its owner.
struct DecimationMemo {
    struct Column {
        std::uint64_t begin = 0; // the column's samples, [begin, end)
        std::uint64_t end = 0;
        float min = 0;
        float max = 0;
        std::uint64_t minAt = 0;
        std::uint64_t maxAt = 0;
        std::uint64_t firstKnown = 0; // kNone: no known value
        bool nanBefore = false;
        bool nanAfter = false;
    };
    static constexpr std::uint64_t kNone = static_cast<std::uint64_t>(-1);

    std::int64_t firstColumn = 0;
    std::vector<Column> columns;
    std::vector<Column> next; // filled during a decimation, then swapped in
};

// Min/max decimation: for every column holding samples, its smallest and largest known (not
// NaN) value, in the order they occurred, so a column draws as one vertical stroke and a single
// sample's spike survives at any width. A column whose values are all one sample's value gives
// one point. A line is broken before a point when, since the first known value of the column
// drawn before it up to the point's column's first known value, a sample is gap-marked or NaN.
// `out` is cleared and refilled (a caller keeps it between frames to save allocations).
// With `blocks`, the summaries of the storage `values` lies in (by storage index / kSize, see
// RingSlice::origin), whole clean blocks are taken from their summaries; with `memo`, columns
// holding the same samples as in the frame before are taken from it: the same result each time.
void decimate(const ColumnGrid& grid, const RingSlice<float>& values, std::vector<PlotPoint>& out,
              std::span<const BlockSummary> blocks = {}, DecimationMemo* memo = nullptr);
std::vector<PlotPoint> decimate(const ColumnGrid& grid, const RingSlice<float>& values,
                                std::span<const BlockSummary> blocks = {});

// One StateColumn per column (empty columns repeat the state carried in). `before` is the state
// just before the run (kept as is when unknown); bit k of `faultMask` makes code k a fault.
void decimateStates(const ColumnGrid& grid, const RingSlice<std::uint8_t>& states,
                    std::uint8_t before, std::uint16_t faultMask, std::vector<StateColumn>& out);

} // namespace Corvane
