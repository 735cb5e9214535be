#include "TelemetryHistory.h"
#include "ColumnGrid.h"
#include "ColumnGridCache.h"
#include "Decimation.h"
#include "PacketFeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Corvane::TelemetryHistory;
using Millis = TelemetryHistory::Millis;
using Series = TelemetryHistory::Series;
using plottest::PacketFeed;

constexpr Millis kMinute = 60'000;

float at(const TelemetryHistory& h, Series series, std::size_t i) {
    return h.values(series, {i, 1})[0];
}

// Where a trace over the whole history breaks (its columns' start times), with the grid, and
// that reading the history's block summaries gives the same traces as reading every sample.
std::pair<Corvane::ColumnGrid, std::vector<Millis>>
breaksOverTheWholeHistory(const TelemetryHistory& history) {
    const auto all = history.range(*history.oldestTime(), *history.latestTime() + 1);
    const auto grid = Corvane::ColumnGrid::build(
        history.times(all), history.flags(all), TelemetryHistory::kGapBefore, *history.oldestTime(),
        *history.latestTime() + 1, 720);
    const auto points = Corvane::decimate(grid, history.values(Series::Battery, all));
    for (std::size_t s = 0; s < TelemetryHistory::kSeriesCount; ++s) {
        const auto series = static_cast<Series>(s);
        EXPECT_EQ(Corvane::decimate(grid, history.values(series, all), history.blocks(series)),
                  Corvane::decimate(grid, history.values(series, all)))
            << "the summaries kept while appending disagree with the samples, series " << s;
    }
    std::vector<Millis> breaks;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].breakBefore) {
            breaks.push_back(
                Corvane::ColumnGrid::columnStart(grid.from(), grid.to(), 720, points[i].column));
        }
    }
    return {grid, breaks};
}

TEST(TelemetryHistoryWrap, AfterMoreThanAnHourGapsStayGaps) {
    TelemetryHistory history;
    PacketFeed feed;
    const Millis start = feed.time;
    // The unit goes away for ten seconds three times; the first gap is overwritten by the wrap.
    const std::array<Millis, 3> gapsAt{5 * kMinute, 30 * kMinute, 65 * kMinute};
    std::size_t nextGap = 0;
    while (feed.time - start < 70 * kMinute) {
        if (nextGap < gapsAt.size() && feed.time - start >= gapsAt[nextGap]) {
            history.markGap(feed.time);
            feed.time += 10'000;
            ++nextGap;
        }
        feed.power.battery = static_cast<float>(feed.packets);
        feed.send(history);
    }
    ASSERT_GT(feed.packets, history.capacity());
    ASSERT_EQ(history.size(), history.capacity());

    // Oldest first across the wrap: 20 ms apart, except after the two gaps still held.
    const auto times = history.times({0, history.size()});
    const auto flags = history.flags({0, history.size()});
    std::vector<std::size_t> flagged;
    for (std::size_t i = 1; i < history.size(); ++i) {
        const bool gap = (flags[i] & TelemetryHistory::kGapBefore) != 0;
        EXPECT_EQ(times[i] - times[i - 1], gap ? 10'000 + PacketFeed::kPeriod : PacketFeed::kPeriod)
            << "sample " << i;
        if (gap) {
            flagged.push_back(i);
            // Nothing from before the gap is carried past it: only the block that came is known.
            EXPECT_NE(std::isnan(at(history, Series::Battery, i)),
                      std::isnan(at(history, Series::Internal1, i)));
        }
    }
    ASSERT_EQ(flagged.size(), 2U);
    EXPECT_EQ(times[flagged[0]] - start, 30 * kMinute + 10'000);
    EXPECT_EQ(times[flagged[1]] - start, 65 * kMinute + 10'000);
    EXPECT_EQ(at(history, Series::Battery, history.size() - 2),
              static_cast<float>(feed.packets - 2)); // the last power packet

    // Drawn over the whole hour, the trace breaks exactly there.
    const auto [grid, breaks] = breaksOverTheWholeHistory(history);
    ASSERT_EQ(breaks.size(), 2U);
    for (std::size_t g = 0; g < 2; ++g) {
        EXPECT_NEAR(static_cast<double>(breaks[g]), static_cast<double>(times[flagged[g]]),
                    3'600'000.0 / 720);
        EXPECT_EQ(grid.gaps()[g].from, times[flagged[g] - 1]);
        EXPECT_EQ(grid.gaps()[g].to, times[flagged[g]]);
    }
}

// A sequence of packets ('P' power+status, 'T' temperature, '-' no block, 'G' a gap), each
// after the given milliseconds, and what the last sample holds.
struct AppendCase {
    const char* name;
    std::vector<std::pair<Millis, char>> steps;
    std::size_t size;
    Millis lastTime;
    bool lastFollowsGap;
    bool batteryKnown;
    bool temperatureKnown;
    bool stateKnown;
};

class TelemetryHistoryAppend : public testing::TestWithParam<AppendCase> {};

TEST_P(TelemetryHistoryAppend, LastSampleHoldsTheLatestKnownBlocks) {
    const AppendCase& c = GetParam();
    TelemetryHistory history(16);
    tarn::PowerF32 power;
    power.battery = 12.5F;
    tarn::StatusF32 status;
    status.channel[3].relay_state = 5;
    tarn::TempF32 temp;
    temp.internal[0] = 31.0F;
    Millis t = 1'000'000;
    for (const auto& [after, kind] : c.steps) {
        t += after;
        tarn::DataStreamFeedback packet;
        packet.power = kind == 'P' ? &power : nullptr;
        packet.status = kind == 'P' ? &status : nullptr;
        packet.temp = kind == 'T' ? &temp : nullptr;
        kind == 'G' ? history.markGap(t) : history.append(t, packet);
    }
    ASSERT_EQ(history.size(), c.size);
    if (c.size == 0) {
        return;
    }
    const std::size_t last = c.size - 1;
    EXPECT_EQ(history.times({last, 1})[0] - 1'000'000, c.lastTime);
    EXPECT_EQ(history.flags({last, 1})[0] == TelemetryHistory::kGapBefore, c.lastFollowsGap);
    EXPECT_EQ(at(history, Series::Battery, last) == 12.5F, c.batteryKnown);
    EXPECT_EQ(at(history, Series::Internal1, last) == 31.0F, c.temperatureKnown);
    EXPECT_EQ(history.states(3, {last, 1})[0] == 5, c.stateKnown);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TelemetryHistoryAppend,
    testing::Values(
        AppendCase{"APacketWithoutBlocksAddsNothing", {{0, '-'}}, 0, 0, false, false, false, false},
        AppendCase{"BlocksCarryForward", {{0, 'P'}, {20, 'T'}}, 2, 20, false, true, true, true},
        AppendCase{
            "AClockSteppingBackIsHeld", {{0, 'P'}, {-500, 'T'}}, 2, 0, false, true, true, true},
        AppendCase{
            "TwoSecondsApartIsNoGap", {{0, 'P'}, {2000, 'T'}}, 2, 2000, false, true, true, true},
        AppendCase{
            "LongerSilenceIsAGap", {{0, 'P'}, {2001, 'T'}}, 2, 2001, true, false, true, false},
        AppendCase{"AGapForgetsEveryBlock",
                   {{0, 'P'}, {0, 'T'}, {10, 'G'}, {10, 'T'}},
                   3,
                   20,
                   true,
                   false,
                   true,
                   false},
        AppendCase{"ManyGapsMakeOne",
                   {{0, 'T'}, {5, 'G'}, {5, 'G'}, {5, 'P'}},
                   2,
                   15,
                   true,
                   true,
                   false,
                   true},
        AppendCase{"TheRingKeepsTheNewest",
                   {{0, 'P'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'T'},
                    {20, 'P'}},
                   16,
                   340,
                   false,
                   true,
                   true,
                   true}),
    [](const testing::TestParamInfo<AppendCase>& p) { return std::string(p.param.name); });

TEST(TelemetryHistoryLookup, RangesAreHalfOpenAndNearestPicksTheCloserSample) {
    TelemetryHistory history(8);
    tarn::TempF32 temp;
    for (const Millis t : {100, 120, 140, 200}) {
        history.append(t, {nullptr, nullptr, &temp});
    }
    struct Query {
        Millis from, to;
        std::size_t first, count;
    };
    for (const Query q : {Query{100, 140, 0, 2}, Query{101, 141, 1, 2}, Query{0, 99, 0, 0},
                          Query{150, 1000, 3, 1}, Query{140, 120, 0, 0}}) {
        const auto r = history.range(q.from, q.to);
        EXPECT_EQ(r.count, q.count) << q.from << ".." << q.to;
        if (q.count > 0) {
            EXPECT_EQ(r.first, q.first) << q.from << ".." << q.to;
        }
    }
    for (const auto& [t, nearest] : std::vector<std::pair<Millis, std::size_t>>{
             {0, 0}, {109, 0}, {111, 1}, {169, 2}, {171, 3}, {5000, 3}}) {
        EXPECT_EQ(history.nearest(t), nearest) << t;
    }
}

TEST(TelemetryHistoryStates, InverterCodesReadAsTheWindowsWords) {
    for (int bits = 0; bits < 8; ++bits) {
        tarn::InverterFeedback inverter;
        inverter.on = (bits & 1) != 0;
        inverter.over_load = (bits & 2) != 0;
        inverter.over_temp = (bits & 4) != 0;
        EXPECT_EQ(TelemetryHistory::stateText(TelemetryHistory::kInverterLane,
                                              TelemetryHistory::inverterCode(inverter)),
                  tarn::inverterStateText(inverter))
            << bits;
    }
    EXPECT_EQ(TelemetryHistory::stateText(0, 5), "OVER CURRENT");
    EXPECT_EQ(TelemetryHistory::stateText(0, TelemetryHistory::kUnknownState), "");
}

// Frames as a live or dragged view draws them: packets arrive between frames, the window moves
// (anchored to its pixel columns), the ring wraps, the unit goes away now and then.
struct FrameCase {
    const char* name;
    Millis span;
    int columns;
    int packetsPerFrame;
    Millis dragPerFrame; // 0: live, the view ends at the newest sample
};

class DecimationAcrossFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(DecimationAcrossFrames, KeptColumnsGiveWhatReadingThemAnewGives) {
    const FrameCase& c = GetParam();
    TelemetryHistory history(30'000);
    PacketFeed feed;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> noise(-1, 1);
    const auto packet = [&] {
        feed.power.total_current = 20 + noise(rng);
        feed.temp.internal[0] = 30 + noise(rng);
        if (rng() % 4000 == 0) {
            history.markGap(feed.time);
            feed.time += 3000;
        }
        feed.send(history);
    };
    for (int i = 0; i < 31'000; ++i) {
        packet();
    }
    Corvane::ColumnGridCache grids;
    std::array<Corvane::DecimationMemo, 2> memos;
    const std::array<Series, 2> series{Series::TotalCurrent, Series::Internal1};
    Millis back = 0;
    for (int frame = 0; frame < 80; ++frame) {
        for (int i = 0; i < c.packetsPerFrame; ++i) {
            packet();
        }
        back = std::clamp<Millis>(back + (frame % 7 < 4 ? c.dragPerFrame : -c.dragPerFrame), 0,
                                  c.span);
        const Millis to = *history.latestTime() + 1 - back;
        const auto window = Corvane::ColumnGrid::anchored(to - c.span, to, c.columns);
        const auto range = history.range(window.from, window.to);
        const auto grid = grids.grid(history, range, window.from, window.to, c.columns);
        for (std::size_t s = 0; s < series.size(); ++s) {
            std::vector<Corvane::PlotPoint> kept;
            Corvane::decimate(*grid, history.values(series[s], range), kept,
                              history.blocks(series[s]), &memos[s]);
            ASSERT_EQ(kept, Corvane::decimate(*grid, history.values(series[s], range)))
                << "frame " << frame << ", series " << s;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, DecimationAcrossFrames,
                         testing::Values(FrameCase{"TenSecondsLive", 10'000, 700, 2, 0},
                                         FrameCase{"TenMinutesLive", 600'000, 500, 2, 0},
                                         FrameCase{"TenMinutesInWholeBlocks", 600'000, 200, 2, 0},
                                         FrameCase{"DraggedWhilePaused", 60'000, 640, 2, 1'700}),
                         [](const testing::TestParamInfo<FrameCase>& p) {
                             return std::string(p.param.name);
                         });

} // namespace
