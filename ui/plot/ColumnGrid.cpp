#include "ColumnGrid.h"

#include <algorithm>
#include <cstring>

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

ColumnGrid::Anchored ColumnGrid::anchored(Millis from, Millis to, int columns) {
    const Millis n = std::clamp(columns, 1, kMaxColumns);
    const Millis width =
        std::max<Millis>(1, (std::clamp<Millis>(to - from, 1, kMaxSpan) + n - 1) / n);
    // Floor division, so times before the epoch anchor the same way.
    const auto floorDiv = [](Millis a, Millis b) { return a / b - (a % b < 0 ? 1 : 0); };
    const Millis last = floorDiv(to - 1, width) + 1; // the column boundary at or after `to`
    return {(last - n) * width, last * width, width, last - n};
}

ColumnGrid ColumnGrid::build(const RingSlice<Millis>& times, const RingSlice<std::uint8_t>& flags,
                             std::uint8_t gapBit, Millis from, Millis to, int columns,
                             const Millis* before, std::size_t snap) {
    ColumnGrid grid;
    grid.from_ = from;
    grid.to_ = std::max(from, to);
    columns = std::clamp(columns, 0, kMaxColumns);
    const std::size_t n = static_cast<std::size_t>(columns);
    grid.bounds_.assign(n + 1, 0);
    grid.firstFlag_.assign(n, kNone);
    grid.lastFlag_.assign(n, kNone);

    // Each column's first sample: galloping from the previous column's, then bisection, so the
    // probes stay near each other in memory.
    std::size_t lo = 0;
    for (std::size_t c = 0; c <= n; ++c) {
        const Millis start = columnStart(from, grid.to_, columns, static_cast<int>(c));
        std::size_t step = 1;
        while (lo + step < times.size() && times[lo + step] < start) {
            lo += step;
            step *= 2;
        }
        std::size_t hi = std::min(lo + step, times.size());
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

    if (snap > 0 && n > 0 && (grid.bounds_[n] - grid.bounds_[0]) / n >= kSnapBlocks * snap) {
        grid.snapBounds(times, snap);
    }
    grid.markGaps(times, flags, gapBit, before ? *before : from);
    return grid;
}

void ColumnGrid::snapBounds(const RingSlice<Millis>& times, std::size_t snap) {
    const std::size_t split = times.first.size();
    const std::size_t n = bounds_.size() - 1;
    for (std::size_t c = 1; c < n; ++c) {
        const std::size_t b = bounds_[c];
        // Block boundaries in run indices: storage index origin + i in the first piece, i - split
        // in the second; where the pieces meet is a boundary of its own.
        const std::size_t offset = b < split ? (times.origin + b) % snap : (b - split) % snap;
        const std::size_t down = offset <= b ? b - offset : 0;
        std::size_t up = down + snap;
        if (b < split && up > split) {
            up = split;
        }
        const std::size_t nearest = b - down <= up - b ? down : up;
        bounds_[c] = std::clamp(nearest, bounds_[c - 1], bounds_[n]);
    }
}

void ColumnGrid::markGaps(const RingSlice<Millis>& times, const RingSlice<std::uint8_t>& flags,
                          std::uint8_t gapBit, Millis priorTime) {
    // Gap marks are rare: skip eight unmarked samples at a time.
    std::size_t c = 0;
    const auto mark = [&](std::size_t at) {
        while (bounds_[c + 1] <= at) {
            ++c;
        }
        if (firstFlag_[c] == kNone) {
            firstFlag_[c] = at;
        }
        lastFlag_[c] = at;
        const Millis prior = at > 0 ? times[at - 1] : priorTime;
        gaps_.push_back({prior, times[at]});
    };
    const std::uint64_t bits = 0x0101010101010101ULL * gapBit;
    flags.forPieces(bounds_.front(), bounds_.back(),
                    [&](std::span<const std::uint8_t> piece, std::size_t offset) {
                        std::size_t i = 0;
                        for (; i + 8 <= piece.size(); i += 8) {
                            std::uint64_t word;
                            std::memcpy(&word, piece.data() + i, sizeof word);
                            if ((word & bits) == 0) {
                                continue;
                            }
                            for (std::size_t k = i; k < i + 8; ++k) {
                                if ((piece[k] & gapBit) != 0) {
                                    mark(offset + k);
                                }
                            }
                        }
                        for (; i < piece.size(); ++i) {
                            if ((piece[i] & gapBit) != 0) {
                                mark(offset + i);
                            }
                        }
                    });
}

} // namespace Corvane
