#include "ColumnGrid.h"

#include <algorithm>

namespace Corvane {

ColumnGrid::Millis ColumnGrid::columnStart(Millis from, Millis to, int columns, int column) {
    if (columns <= 0) {
        return from;
    }
    columns = std::min(columns, kMaxColumns);
    column = std::clamp(column, 0, columns);
    // Exact in 64 bits for any window up to centuries wide at kMaxColumns columns.
    const Millis span = std::clamp<Millis>(to - from, 0, kMaxSpan);
    return from + span * column / columns;
}

ColumnGrid ColumnGrid::build(const RingSlice<Millis>& times, const RingSlice<std::uint8_t>& flags,
                             std::uint8_t gapBit, Millis from, Millis to, int columns,
                             const Millis* before) {
    ColumnGrid grid;
    grid.from_ = from;
    grid.to_ = std::max(from, to);
    columns = std::clamp(columns, 0, kMaxColumns);
    const std::size_t n = static_cast<std::size_t>(columns);
    grid.bounds_.assign(n + 1, 0);
    grid.firstFlag_.assign(n, kNone);
    grid.lastFlag_.assign(n, kNone);

    // Bisection for each column's first sample, starting from the previous column's.
    std::size_t lo = 0;
    for (std::size_t c = 0; c <= n; ++c) {
        const Millis start = columnStart(from, grid.to_, columns, static_cast<int>(c));
        std::size_t hi = times.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (times[mid] < start) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        grid.bounds_[c] = lo;
    }

    for (std::size_t c = 0; c < n; ++c) {
        flags.forPieces(grid.bounds_[c], grid.bounds_[c + 1],
                        [&](std::span<const std::uint8_t> piece, std::size_t offset) {
                            for (std::size_t i = 0; i < piece.size(); ++i) {
                                if ((piece[i] & gapBit) == 0) {
                                    continue;
                                }
                                const std::size_t at = offset + i;
                                if (grid.firstFlag_[c] == kNone) {
                                    grid.firstFlag_[c] = at;
                                }
                                grid.lastFlag_[c] = at;
                                const Millis prior =
                                    at > 0 ? times[at - 1] : (before ? *before : from);
                                grid.gaps_.push_back({prior, times[at]});
                            }
                        });
    }
    return grid;
}

} // namespace Corvane
