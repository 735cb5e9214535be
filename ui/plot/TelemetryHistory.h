#pragma once

#include "BlockSummary.h"
#include "RingSlice.h"
#include "Telemetry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace Corvane {

// Leaves the ring's slots uninitialised: only written slots are ever read, and an hour of
// storage zeroed at construction would put every page of it in memory at the window's start
// instead of as the hour fills.
template <typename T>
struct UntouchedAllocator : std::allocator<T> {
    using value_type = T;
    UntouchedAllocator() = default;
    template <typename U>
    UntouchedAllocator(const UntouchedAllocator<U>&) noexcept {}
    template <typename U>
    struct rebind {
        using other = UntouchedAllocator<U>;
    };
    template <typename U>
    void construct(U* slot) noexcept {
        ::new (static_cast<void*>(slot)) U;
    }
    template <typename U, typename... Args>
    void construct(U* slot, Args&&... args) {
        ::new (static_cast<void*>(slot)) U(std::forward<Args>(args)...);
    }
};

template <typename T>
using RingColumn = std::vector<T, UntouchedAllocator<T>>;

// The telemetry the window has shown, kept for the live plot: one sample per packet, in a ring
// allocated once that holds the last hour at 50 packets a second.
//
// A sample holds every plotted value at the packet's time. Power+status and temperature packets
// alternate, so a sample carries forward the latest value of each block the packet lacked: every
// series then shares one time column and one gap column, and a reader needs a single index range
// for all of them. Values not known since the last gap (no such block arrived yet) are NaN, and
// states kUnknownState, so nothing from before a disconnection is drawn after it.
//
// Storage is one column per quantity (structure of arrays), so a reader walks one series
// contiguously: kBytesPerSample bytes a sample, plus each series' BlockSummary for every
// BlockSummary::kSize samples (kept as samples arrive) that lets decimation over a long span
// take a block at a time. bytesFor(kHourCapacity) in all.
class TelemetryHistory {
public:
    using Millis = std::int64_t; // milliseconds since the Unix epoch

    enum class Series : std::uint8_t {
        TotalCurrent,
        Current1, // relay channels 1-12, in order
        Battery = Current1 + 12,
        Ignition1,                 // inputs 1-3, in order
        Internal1 = Ignition1 + 3, // internal sensors 1-3, in order
        External1 = Internal1 + 3,
    };
    static constexpr std::size_t kSeriesCount = static_cast<std::size_t>(Series::External1) + 1;

    // State lanes: the relay state of channels 0-11, then the inverter's state.
    static constexpr std::size_t kInverterLane = 12;
    static constexpr std::size_t kLaneCount = 13;
    static constexpr std::uint8_t kUnknownState = 0xFF;
    // The inverter lane's codes, in the order the window's first matching condition decides.
    enum InverterCode : std::uint8_t {
        INVERTER_OFF = 0,
        INVERTER_ON = 1,
        INVERTER_OVER_LOAD = 2,
        INVERTER_OVER_TEMP = 3,
    };

    // The flags column: the sample follows a gap (the unit went away, or the stream was silent
    // for longer than kStreamSilence), so no line joins it to the sample before.
    static constexpr std::uint8_t kGapBefore = 0x01;
    static constexpr Millis kStreamSilence = 2000;

    static constexpr std::size_t kHourCapacity = 50 * 3600;
    static constexpr std::size_t kBytesPerSample = sizeof(Millis) + kSeriesCount * sizeof(float) +
                                                   kLaneCount * sizeof(std::uint8_t) +
                                                   sizeof(std::uint8_t);
    static constexpr std::size_t bytesFor(std::size_t capacity) {
        const std::size_t blocks = (capacity + BlockSummary::kSize - 1) / BlockSummary::kSize;
        return capacity * kBytesPerSample + blocks * kSeriesCount * sizeof(BlockSummary);
    }

    // Samples [first, first + count) of the history, 0 being the oldest held.
    struct IndexRange {
        std::size_t first = 0;
        std::size_t count = 0;
    };

    explicit TelemetryHistory(std::size_t capacity = kHourCapacity);

    // One packet as the polling loop read it; a packet without any block adds nothing. A clock
    // that steps back is held at the latest time, so times never decrease.
    void append(Millis time, const tarn::DataStreamFeedback& packet);
    // The unit went away at `time`: the next sample starts after a gap. May be called on every
    // tick while it is away; each call moves latestTime() on, so a live view keeps scrolling.
    void markGap(Millis time);

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::size_t memoryBytes() const { return bytesFor(capacity_); }
    // Changes with every append and gap: a view repaints only when it moved on.
    std::uint64_t generation() const { return generation_; }
    // The newest time the history knows of: its last sample or a later gap.
    std::optional<Millis> latestTime() const;
    std::optional<Millis> oldestTime() const;
    // Whether the unit is away since the last sample (a gap with no sample after it yet).
    bool gapOpen() const { return gapPending_ && size_ > 0; }

    // The number of sample `index` among all samples ever appended: the same sample keeps it
    // while older ones are overwritten.
    std::uint64_t sequenceOf(std::size_t index) const { return appended_ - size_ + index; }

    // The samples with from <= time < to.
    IndexRange range(Millis from, Millis to) const;
    // The sample whose time is nearest to `time`, if any.
    std::optional<std::size_t> nearest(Millis time) const;

    RingSlice<Millis> times(IndexRange range) const;
    RingSlice<std::uint8_t> flags(IndexRange range) const;
    RingSlice<float> values(Series series, IndexRange range) const;
    RingSlice<std::uint8_t> states(std::size_t lane, IndexRange range) const;
    // The series' block summaries, by storage index / BlockSummary::kSize (see RingSlice::origin).
    std::span<const BlockSummary> blocks(Series series) const;

    static constexpr Series channelCurrent(std::size_t channel) {
        return static_cast<Series>(static_cast<std::size_t>(Series::Current1) + channel);
    }
    static constexpr Series ignition(std::size_t input) {
        return static_cast<Series>(static_cast<std::size_t>(Series::Ignition1) + input);
    }
    static constexpr Series internalTemperature(std::size_t sensor) {
        return static_cast<Series>(static_cast<std::size_t>(Series::Internal1) + sensor);
    }
    static std::uint8_t inverterCode(const tarn::InverterFeedback& inverter);
    // The word the window shows for a lane's state ("ON", "OVER CURRENT", "OVER LOAD" ...),
    // empty while the state is unknown.
    static std::string_view stateText(std::size_t lane, std::uint8_t state);

private:
    void forgetLatest();
    void takeBlocks(const tarn::DataStreamFeedback& packet);
    std::size_t physical(std::size_t index) const { return (head_ + index) % capacity_; }
    template <typename T>
    RingSlice<T> column(const RingColumn<T>& storage, std::size_t column, IndexRange range) const;

    std::size_t capacity_;
    std::size_t head_ = 0; // physical index of the oldest sample
    std::size_t size_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t appended_ = 0;
    bool gapPending_ = false;
    std::optional<Millis> latestTime_;

    std::array<float, kSeriesCount> latestValues_{};
    std::array<std::uint8_t, kLaneCount> latestStates_{};

    RingColumn<Millis> time_;
    RingColumn<std::uint8_t> flags_;
    RingColumn<float> values_;        // kSeriesCount columns of capacity_ values
    RingColumn<std::uint8_t> states_; // kLaneCount columns of capacity_ states
    std::size_t blocksPerSeries_;
    RingColumn<BlockSummary> blocks_; // kSeriesCount columns of blocksPerSeries_ summaries
};

static_assert(TelemetryHistory::bytesFor(TelemetryHistory::kHourCapacity) <= 32'000'000,
              "an hour of history stays within 32 MB");

} // namespace Corvane
