#include "Decimation.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

namespace Corvane {
namespace {

constexpr std::size_t kNone = ColumnGrid::kNone;
constexpr std::size_t kBlock = BlockSummary::kSize;

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

// Samples [from, to) of a contiguous piece whose element 0 has run index `base`. Works on
// locals so the extremes stay in registers.
void scanSamples(const float* piece, std::size_t from, std::size_t to, std::size_t base,
                 Extremes& x) {
    std::size_t i = from;
    if (x.firstKnown == kNone) {
        for (; i < to && piece[i] != piece[i]; ++i) {
            x.nanBefore = true;
        }
        if (i == to) {
            return;
        }
        x.firstKnown = base + i;
    }
    float min = x.min;
    float max = x.max;
    std::size_t minAt = x.minAt;
    std::size_t maxAt = x.maxAt;
    bool nan = false;
    // Without branches: on noisy data a new extreme is a coin toss the CPU cannot predict.
    for (; i < to; ++i) {
        const float v = piece[i];
        nan |= v != v;
        const bool lower = v < min;
        const bool higher = v > max;
        min = lower ? v : min;
        minAt = lower ? base + i : minAt;
        max = higher ? v : max;
        maxAt = higher ? base + i : maxAt;
    }
    x.nanAfter |= nan;
    x.min = min;
    x.max = max;
    x.minAt = minAt;
    x.maxAt = maxAt;
}

// Elements [from, to) of a piece that starts at storage index `origin` and run index `base`:
// whole clean blocks from their summaries, the rest sample by sample. The extremes stay in
// locals: through a reference the compiler would store and reload them for every block.
void scanPiece(std::span<const float> piece, std::size_t from, std::size_t to, std::size_t origin,
               std::size_t base, std::span<const BlockSummary> blocks, Extremes& x) {
    if (blocks.empty()) {
        scanSamples(piece.data(), from, to, base, x);
        return;
    }
    Extremes e = x;
    std::size_t i = from;
    while (i < to) {
        const std::size_t slot = origin + i;
        const std::size_t intoBlock = slot % kBlock;
        const BlockSummary* block = &blocks[slot / kBlock];
        if (intoBlock != 0 || i + kBlock > to || !block->clean) {
            const std::size_t end = std::min(to, i + (kBlock - intoBlock));
            scanSamples(piece.data(), i, end, base, e);
            i = end;
            continue;
        }
        if (e.firstKnown == kNone) {
            e.firstKnown = base + i;
        }
        float min = e.min;
        float max = e.max;
        std::size_t minAt = e.minAt;
        std::size_t maxAt = e.maxAt;
        // A run of whole clean blocks: the common case over a long span.
        for (; i + kBlock <= to && block->clean; i += kBlock, ++block) {
            const bool lower = block->min < min;
            const bool higher = block->max > max;
            min = lower ? block->min : min;
            minAt = lower ? base + i + block->minAt : minAt;
            max = higher ? block->max : max;
            maxAt = higher ? base + i + block->maxAt : maxAt;
        }
        e.min = min;
        e.max = max;
        e.minAt = minAt;
        e.maxAt = maxAt;
    }
    x = e;
}

Extremes scan(const RingSlice<float>& values, std::size_t from, std::size_t to,
              std::span<const BlockSummary> blocks) {
    Extremes x;
    const std::size_t split = values.first.size();
    if (from < split) {
        scanPiece(values.first, from, std::min(to, split), values.origin, 0, blocks, x);
    }
    if (to > split) {
        scanPiece(values.second, std::max(from, split) - split, to - split, 0, split, blocks, x);
    }
    return x;
}

// The run index of the first state in [from, to) that differs from `state`, or `to`. Eight
// states are compared at a time: a relay state changes rarely.
std::size_t firstChange(const std::uint8_t* states, std::size_t from, std::size_t to,
                        std::uint8_t state) {
    const std::uint64_t same = 0x0101010101010101ULL * state;
    std::size_t i = from;
    for (; i + 8 <= to; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, states + i, sizeof word);
        if (word != same) {
            break;
        }
    }
    while (i < to && states[i] == state) {
        ++i;
    }
    return i;
}

// Run indices and sequence numbers: the memo keeps the latter, which stay with their samples.
std::uint64_t toSequence(std::size_t index, std::uint64_t base) {
    return index == kNone ? DecimationMemo::kNone : base + index;
}

std::size_t toIndex(std::uint64_t sequence, std::uint64_t base) {
    return sequence == DecimationMemo::kNone ? kNone : static_cast<std::size_t>(sequence - base);
}

// Column c's extremes: from the memo where the column holds the same samples as it did there,
// else read; recorded in the memo's next frame either way.
Extremes columnExtremes(const ColumnGrid& grid, int c, const RingSlice<float>& values,
                        std::span<const BlockSummary> blocks, DecimationMemo* memo) {
    const std::size_t begin = grid.begin(c);
    const std::size_t end = grid.end(c);
    if (memo == nullptr) {
        return begin == end ? Extremes{} : scan(values, begin, end, blocks);
    }
    const std::uint64_t base = grid.firstSequence();
    const std::int64_t at = grid.firstColumn() + c - memo->firstColumn;
    Extremes x;
    if (begin != end && at >= 0 && at < static_cast<std::int64_t>(memo->columns.size()) &&
        memo->columns[static_cast<std::size_t>(at)].begin == base + begin &&
        memo->columns[static_cast<std::size_t>(at)].end == base + end) {
        const DecimationMemo::Column& kept = memo->columns[static_cast<std::size_t>(at)];
        x = {kept.min,
             kept.max,
             toIndex(kept.minAt, base),
             toIndex(kept.maxAt, base),
             toIndex(kept.firstKnown, base),
             kept.nanBefore,
             kept.nanAfter};
    } else if (begin != end) {
        x = scan(values, begin, end, blocks);
    }
    memo->next.push_back({base + begin, base + end, x.min, x.max, toSequence(x.minAt, base),
                          toSequence(x.maxAt, base), toSequence(x.firstKnown, base), x.nanBefore,
                          x.nanAfter});
    return x;
}

} // namespace

void decimate(const ColumnGrid& grid, const RingSlice<float>& values, std::vector<PlotPoint>& out,
              std::span<const BlockSummary> blocks, DecimationMemo* memo) {
    out.clear();
    if (memo != nullptr) {
        memo->next.clear();
    }
    bool pendingBreak = false;
    for (int c = 0; c < grid.columns(); ++c) {
        const Extremes x = columnExtremes(grid, c, values, blocks, memo);
        const std::size_t first = x.firstKnown;
        if (first == kNone) {
            // Nothing but unknown values breaks the line; an empty column does not.
            pendingBreak = pendingBreak || grid.begin(c) != grid.end(c);
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
    if (memo != nullptr) {
        memo->columns.swap(memo->next);
        memo->firstColumn = grid.firstColumn();
    }
}

std::vector<PlotPoint> decimate(const ColumnGrid& grid, const RingSlice<float>& values,
                                std::span<const BlockSummary> blocks) {
    std::vector<PlotPoint> out;
    decimate(grid, values, out, blocks);
    return out;
}

void decimateStates(const ColumnGrid& grid, const RingSlice<std::uint8_t>& states,
                    std::uint8_t before, std::uint16_t faultMask, std::vector<StateColumn>& out) {
    out.assign(static_cast<std::size_t>(grid.columns()), StateColumn{before, 0});
    std::uint8_t state = before;
    for (int c = 0; c < grid.columns(); ++c) {
        StateColumn& column = out[static_cast<std::size_t>(c)];
        states.forPieces(
            grid.begin(c), grid.end(c), [&](std::span<const std::uint8_t> piece, std::size_t) {
                for (std::size_t i = firstChange(piece.data(), 0, piece.size(), state);
                     i < piece.size(); i = firstChange(piece.data(), i + 1, piece.size(), state)) {
                    state = piece[i];
                    const bool fault = state < 16 && ((faultMask >> state) & 1U) != 0;
                    if (fault && column.entered == 0) {
                        column.entered = state;
                    }
                }
            });
        column.last = state;
    }
}

} // namespace Corvane
