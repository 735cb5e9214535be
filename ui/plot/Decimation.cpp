#include "Decimation.h"

#include <limits>
#include <span>

namespace Corvane {
namespace {

constexpr std::size_t kNone = ColumnGrid::kNone;

// A column's extremes and its first known value, by run index.
struct Extremes {
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
    std::size_t minAt = kNone;
    std::size_t maxAt = kNone;
    std::size_t firstKnown = kNone;
    bool nanBefore = false; // a NaN before the first known value
    bool nanAfter = false;  // a NaN after it
};

Extremes scan(const RingSlice<float>& values, std::size_t from, std::size_t to) {
    Extremes x;
    values.forPieces(from, to, [&x](std::span<const float> piece, std::size_t offset) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const float v = piece[i];
            if (v != v) {
                (x.firstKnown == kNone ? x.nanBefore : x.nanAfter) = true;
                continue;
            }
            if (x.firstKnown == kNone) {
                x.firstKnown = offset + i;
            }
            if (v < x.min) {
                x.min = v;
                x.minAt = offset + i;
            }
            if (v > x.max) {
                x.max = v;
                x.maxAt = offset + i;
            }
        }
    });
    return x;
}

} // namespace

void decimate(const ColumnGrid& grid, const RingSlice<float>& values, std::vector<PlotPoint>& out) {
    out.clear();
    bool pendingBreak = false;
    for (int c = 0; c < grid.columns(); ++c) {
        const std::size_t begin = grid.begin(c);
        const std::size_t end = grid.end(c);
        if (begin == end) {
            continue;
        }
        const Extremes x = scan(values, begin, end);
        const std::size_t first = x.firstKnown;
        if (first == kNone) {
            pendingBreak = true; // nothing but unknown values
            continue;
        }
        const std::size_t firstFlag = grid.firstFlag(c);
        const std::size_t lastFlag = grid.lastFlag(c);
        const bool breakBefore =
            pendingBreak || x.nanBefore || (firstFlag != kNone && firstFlag <= first);
        pendingBreak = x.nanAfter || (lastFlag != kNone && lastFlag > first);

        if (x.minAt == x.maxAt) {
            out.push_back({c, x.min, breakBefore});
        } else if (x.minAt < x.maxAt) {
            out.push_back({c, x.min, breakBefore});
            out.push_back({c, x.max, false});
        } else {
            out.push_back({c, x.max, breakBefore});
            out.push_back({c, x.min, false});
        }
    }
}

std::vector<PlotPoint> decimate(const ColumnGrid& grid, const RingSlice<float>& values) {
    std::vector<PlotPoint> out;
    decimate(grid, values, out);
    return out;
}

void decimateStates(const ColumnGrid& grid, const RingSlice<std::uint8_t>& states,
                    std::uint8_t before, std::uint16_t faultMask, std::vector<StateColumn>& out) {
    out.assign(static_cast<std::size_t>(grid.columns()), StateColumn{before, 0});
    std::uint8_t state = before;
    for (int c = 0; c < grid.columns(); ++c) {
        StateColumn& column = out[static_cast<std::size_t>(c)];
        states.forPieces(grid.begin(c), grid.end(c),
                         [&](std::span<const std::uint8_t> piece, std::size_t) {
                             for (const std::uint8_t s : piece) {
                                 if (s == state) {
                                     continue;
                                 }
                                 state = s;
                                 const bool fault = s < 16 && ((faultMask >> s) & 1U) != 0;
                                 if (fault && column.entered == 0) {
                                     column.entered = s;
                                 }
                             }
                         });
        column.last = state;
    }
}

} // namespace Corvane
