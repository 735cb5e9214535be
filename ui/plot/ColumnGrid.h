#pragma once

#include "RingSlice.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Corvane {

// A time window cut into pixel columns, and where a run of samples falls in it. Column c holds
// the samples with columnStart(c) <= time < columnStart(c + 1). Every series of a chart shares
// its samples' times, so one grid serves all of them.
class ColumnGrid {
public:
    using Millis = std::int64_t;
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr int kMaxColumns = 1 << 16;
    static constexpr Millis kMaxSpan = Millis{1} << 46; // about 2,200 years

    // A stretch without data: from the last sample before a gap to the first one after it.
    struct Gap {
        Millis from;
        Millis to;
    };

    ColumnGrid() = default;
    // `times` never decrease; `flags` (same run) mark with `gapBit` a sample that follows a
    // gap. `before` is the time of the sample just before the run, when there is one.
    //
    // With `snap` (a block size), where columns hold at least kSnapBlocks blocks on average,
    // each bound between two columns moves to the nearest block boundary of the storage (see
    // RingSlice::origin), so every column is made of whole blocks that decimation reads from
    // their summaries. A sample then lies at most snap / 2 samples from its exact column.
    static constexpr std::size_t kSnapBlocks = 4;
    static ColumnGrid build(const RingSlice<Millis>& times, const RingSlice<std::uint8_t>& flags,
                            std::uint8_t gapBit, Millis from, Millis to, int columns,
                            const Millis* before = nullptr, std::size_t snap = 0);

    static Millis columnStart(Millis from, Millis to, int columns, int column);

    // A window of `columns` pixel columns anchored to absolute time: each column is a whole
    // number of milliseconds, column k covering [k * width, (k + 1) * width), and the window
    // ends at the first column boundary at or after `to` (it may reach a column earlier than
    // `from`). While a view scrolls, its columns keep their samples, so their decimation can
    // be kept (DecimationMemo).
    struct Anchored {
        Millis from;
        Millis to;
        Millis width;
        std::int64_t firstColumn;
    };
    static Anchored anchored(Millis from, Millis to, int columns);

    // Names the grid's first column (an Anchored::firstColumn) and the sequence number of the
    // run's first sample (samples are numbered as they arrive, TelemetryHistory::sequenceOf).
    void anchor(std::int64_t firstColumn, std::uint64_t firstSequence) {
        firstColumn_ = firstColumn;
        firstSequence_ = firstSequence;
    }
    std::int64_t firstColumn() const { return firstColumn_; }
    std::uint64_t firstSequence() const { return firstSequence_; }

    int columns() const { return static_cast<int>(firstFlag_.size()); }
    Millis from() const { return from_; }
    Millis to() const { return to_; }
    // Run indices [begin(c), end(c)) of the samples in column c.
    std::size_t begin(int column) const { return bounds_[static_cast<std::size_t>(column)]; }
    std::size_t end(int column) const { return bounds_[static_cast<std::size_t>(column) + 1]; }
    // Run indices of the first and last gap-marked sample in column c, or kNone.
    std::size_t firstFlag(int column) const { return firstFlag_[static_cast<std::size_t>(column)]; }
    std::size_t lastFlag(int column) const { return lastFlag_[static_cast<std::size_t>(column)]; }
    const std::vector<Gap>& gaps() const { return gaps_; }

private:
    // Records each gap-marked sample's column and the gap before it; `priorTime` is the time
    // before the run's first sample.
    void markGaps(const RingSlice<Millis>& times, const RingSlice<std::uint8_t>& flags,
                  std::uint8_t gapBit, Millis priorTime);
    void snapBounds(const RingSlice<Millis>& times, std::size_t snap);

    Millis from_ = 0;
    Millis to_ = 0;
    std::int64_t firstColumn_ = 0;
    std::uint64_t firstSequence_ = 0;
    std::vector<std::size_t> bounds_{0};
    std::vector<std::size_t> firstFlag_;
    std::vector<std::size_t> lastFlag_;
    std::vector<Gap> gaps_;
};

} // namespace Corvane
