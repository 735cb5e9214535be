#include "TelemetryHistory.h"

#include "Packets.h"

#include <algorithm>
#include <limits>

namespace Corvane {
namespace {

constexpr float kUnknownValue = std::numeric_limits<float>::quiet_NaN();

constexpr std::size_t index(TelemetryHistory::Series series) {
    return static_cast<std::size_t>(series);
}

} // namespace

TelemetryHistory::TelemetryHistory(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1))
    , time_(capacity_)
    , flags_(capacity_)
    , values_(capacity_ * kSeriesCount)
    , states_(capacity_ * kLaneCount)
    , blocksPerSeries_((capacity_ + BlockSummary::kSize - 1) / BlockSummary::kSize)
    , blocks_(blocksPerSeries_ * kSeriesCount) {
    forgetLatest();
}

std::uint8_t TelemetryHistory::inverterCode(const tarn::InverterFeedback& inverter) {
    return inverter.over_load   ? INVERTER_OVER_LOAD
           : inverter.over_temp ? INVERTER_OVER_TEMP
           : inverter.on        ? INVERTER_ON
                                : INVERTER_OFF;
}

std::string_view TelemetryHistory::stateText(std::size_t lane, std::uint8_t state) {
    if (state == kUnknownState) {
        return {};
    }
    if (lane != kInverterLane) {
        return tarn::relayStateText(state);
    }
    tarn::InverterFeedback inverter;
    inverter.on = state == INVERTER_ON;
    inverter.over_load = state == INVERTER_OVER_LOAD;
    inverter.over_temp = state == INVERTER_OVER_TEMP;
    return tarn::inverterStateText(inverter);
}

void TelemetryHistory::forgetLatest() {
    latestValues_.fill(kUnknownValue);
    latestStates_.fill(kUnknownState);
}

void TelemetryHistory::takeBlocks(const tarn::DataStreamFeedback& packet) {
    if (packet.power != nullptr) {
        const tarn::PowerF32& power = *packet.power;
        latestValues_[index(Series::TotalCurrent)] = power.total_current;
        for (std::size_t ch = 0; ch < power.current.size(); ++ch) {
            latestValues_[index(channelCurrent(ch))] = power.current[ch];
        }
        latestValues_[index(Series::Battery)] = power.battery;
        for (std::size_t in = 0; in < power.ignition.size(); ++in) {
            latestValues_[index(ignition(in))] = power.ignition[in];
        }
    }
    if (packet.status != nullptr) {
        for (std::size_t ch = 0; ch < packet.status->channel.size(); ++ch) {
            latestStates_[ch] = packet.status->channel[ch].relay_state;
        }
        latestStates_[kInverterLane] = inverterCode(packet.status->inverter);
    }
    if (packet.temp != nullptr) {
        for (std::size_t s = 0; s < packet.temp->internal.size(); ++s) {
            latestValues_[index(internalTemperature(s))] = packet.temp->internal[s];
        }
        latestValues_[index(Series::External1)] = packet.temp->external[0];
    }
}

void TelemetryHistory::append(Millis time, const tarn::DataStreamFeedback& packet) {
    if (packet.empty()) {
        return;
    }
    if (latestTime_) {
        time = std::max(time, *latestTime_);
    }
    const bool silent = size_ > 0 && time - time_[physical(size_ - 1)] > kStreamSilence;
    if (silent && !gapPending_) {
        forgetLatest(); // values from before the silence are not carried past it
    }
    takeBlocks(packet);

    if (size_ == capacity_) {
        head_ = (head_ + 1) % capacity_;
        --size_;
    }
    const std::size_t at = physical(size_);
    ++size_;
    time_[at] = time;
    flags_[at] = gapPending_ || silent ? kGapBefore : 0;
    const std::size_t block = at / BlockSummary::kSize;
    const auto slot = static_cast<std::uint8_t>(at % BlockSummary::kSize);
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        const float v = latestValues_[s];
        values_[s * capacity_ + at] = v;
        BlockSummary& summary = blocks_[s * blocksPerSeries_ + block];
        slot == 0 ? summary.start(v) : summary.extend(v, slot);
    }
    for (std::size_t lane = 0; lane < kLaneCount; ++lane) {
        states_[lane * capacity_ + at] = latestStates_[lane];
    }
    gapPending_ = false;
    latestTime_ = time;
    ++appended_;
    ++generation_;
}

void TelemetryHistory::markGap(Millis time) {
    gapPending_ = true;
    forgetLatest();
    latestTime_ = latestTime_ ? std::max(*latestTime_, time) : time;
    ++generation_;
}

std::optional<TelemetryHistory::Millis> TelemetryHistory::latestTime() const {
    return latestTime_;
}

std::optional<TelemetryHistory::Millis> TelemetryHistory::oldestTime() const {
    if (size_ == 0) {
        return std::nullopt;
    }
    return time_[head_];
}

TelemetryHistory::IndexRange TelemetryHistory::range(Millis from, Millis to) const {
    const RingSlice<Millis> all = times({0, size_});
    // The first sample at or after a time, by bisection over the run (times never decrease).
    const auto firstAtOrAfter = [&all](Millis t) {
        std::size_t lo = 0;
        std::size_t hi = all.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (all[mid] < t) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        return lo;
    };
    if (to <= from) {
        return {};
    }
    const std::size_t first = firstAtOrAfter(from);
    return {first, firstAtOrAfter(to) - first};
}

std::optional<std::size_t> TelemetryHistory::nearest(Millis time) const {
    if (size_ == 0) {
        return std::nullopt;
    }
    const std::size_t after = range(std::numeric_limits<Millis>::min(), time).count;
    if (after == 0) {
        return 0;
    }
    if (after == size_) {
        return size_ - 1;
    }
    const Millis before = time - time_[physical(after - 1)];
    return time_[physical(after)] - time < before ? after : after - 1;
}

template <typename T>
RingSlice<T> TelemetryHistory::column(const RingColumn<T>& storage, std::size_t column,
                                      IndexRange range) const {
    const std::size_t first = std::min(range.first, size_);
    const std::size_t count = std::min(range.count, size_ - first);
    const std::span<const T> all(storage.data() + column * capacity_, capacity_);
    const std::size_t start = physical(first);
    const std::size_t headCount = std::min(count, capacity_ - start);
    return {all.subspan(start, headCount), all.subspan(0, count - headCount), start};
}

RingSlice<TelemetryHistory::Millis> TelemetryHistory::times(IndexRange range) const {
    return column(time_, 0, range);
}

RingSlice<std::uint8_t> TelemetryHistory::flags(IndexRange range) const {
    return column(flags_, 0, range);
}

RingSlice<float> TelemetryHistory::values(Series series, IndexRange range) const {
    return column(values_, std::min(index(series), kSeriesCount - 1), range);
}

std::span<const BlockSummary> TelemetryHistory::blocks(Series series) const {
    const std::size_t s = std::min(index(series), kSeriesCount - 1);
    return {blocks_.data() + s * blocksPerSeries_, blocksPerSeries_};
}

RingSlice<std::uint8_t> TelemetryHistory::states(std::size_t lane, IndexRange range) const {
    return column(states_, std::min(lane, kLaneCount - 1), range);
}

} // namespace Corvane
