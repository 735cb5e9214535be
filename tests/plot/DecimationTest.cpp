#include "Decimation.h"
#include "ColumnGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using Corvane::ColumnGrid;
using Corvane::PlotPoint;
using Corvane::RingSlice;
using Corvane::StateColumn;
using Millis = ColumnGrid::Millis;

constexpr std::uint8_t kGap = 0x01;
constexpr std::uint16_t kFaults = (1U << 3) | (1U << 4) | (1U << 5);
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Case {
    const char* name;
    std::size_t samples;
    int columns;
    Millis step;        // mean time between samples, each 0 to 2 * step - 1
    double unknownRate; // chance a run of NaN values starts at a sample
    double gapRate;     // chance a sample follows a gap
    double spikeRate;   // chance of a single-sample spike
    Millis lead;        // window start minus first sample time (negative: starts inside)
    Millis trail;       // window end minus last sample time (negative: ends inside)
    std::size_t wrap;   // samples held at the start of the ring's storage
    std::size_t snap;   // column bounds snap to blocks of this many samples, 0 for exact
};

// Samples in logical order, and the same run laid out as a wrapped ring holds it.
struct Samples {
    std::vector<Millis> time;
    std::vector<float> value;
    std::vector<std::uint8_t> flag;
    std::vector<std::uint8_t> state;
    std::vector<Millis> timeRing;
    std::vector<float> valueRing;
    std::vector<std::uint8_t> flagRing;
    std::vector<std::uint8_t> stateRing;
    std::size_t wrap = 0;

    template <typename T>
    RingSlice<T> slice(const std::vector<T>& ring) const {
        const std::span<const T> all(ring);
        return {all.subspan(wrap), all.first(wrap), wrap};
    }
    // The value ring's block summaries, as the history keeps them.
    std::vector<Corvane::BlockSummary> blocks() const {
        std::vector<Corvane::BlockSummary> out;
        const std::span<const float> all(valueRing);
        for (std::size_t at = 0; at < all.size(); at += Corvane::BlockSummary::kSize) {
            out.push_back(Corvane::BlockSummary::of(
                all.subspan(at, std::min(Corvane::BlockSummary::kSize, all.size() - at))));
        }
        return out;
    }
};

template <typename T>
std::vector<T> wrapped(const std::vector<T>& logical, std::size_t wrap) {
    std::vector<T> ring(logical.end() - static_cast<std::ptrdiff_t>(wrap), logical.end());
    ring.insert(ring.end(), logical.begin(), logical.end() - static_cast<std::ptrdiff_t>(wrap));
    return ring;
}

Samples makeSamples(const Case& c, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0, 1);
    Samples run;
    Millis t = 1'700'000'000'000;
    double level = 10;
    std::size_t unknownLeft = 0;
    std::uint8_t state = 1;
    for (std::size_t i = 0; i < c.samples; ++i) {
        t += static_cast<Millis>(unit(rng) * 2 * static_cast<double>(c.step));
        level += unit(rng) - 0.5;
        if (unit(rng) < c.unknownRate) {
            unknownLeft = 1 + static_cast<std::size_t>(unit(rng) * 40);
        }
        const bool spike = unit(rng) < c.spikeRate;
        float v =
            spike ? static_cast<float>(level + 50 * (unit(rng) - 0.5)) : static_cast<float>(level);
        if (unknownLeft > 0) {
            --unknownLeft;
            v = kNaN;
        }
        if (unit(rng) < 0.01) {
            state = static_cast<std::uint8_t>(unit(rng) * 6);
        }
        run.time.push_back(t);
        run.value.push_back(v);
        run.flag.push_back(unit(rng) < c.gapRate ? kGap : 0);
        run.state.push_back(state);
    }
    run.wrap = std::min(c.wrap, c.samples);
    run.timeRing = wrapped(run.time, run.wrap);
    run.valueRing = wrapped(run.value, run.wrap);
    run.flagRing = wrapped(run.flag, run.wrap);
    run.stateRing = wrapped(run.state, run.wrap);
    return run;
}

// The reference: every sample visited one by one, in the column the grid gave it.
struct Reference {
    std::vector<int> column;                  // per sample, -1 outside the window
    std::vector<std::size_t> disruptionsUpTo; // gap-marked or NaN samples in [0, i]
};

// The grid the case asks for, checked against the window's exact columns: a snapped bound
// lies on a block boundary of the storage (or where the ring's pieces meet), within half a
// block of the exact one.
ColumnGrid checkedGrid(const Case& c, const Samples& run, Millis from, Millis to) {
    const ColumnGrid grid = ColumnGrid::build(run.slice(run.timeRing), run.slice(run.flagRing),
                                              kGap, from, to, c.columns, nullptr, c.snap);
    const std::size_t split = run.time.size() - run.wrap;
    const auto exactBound = [&](int col) {
        const Millis start =
            col == c.columns ? to : ColumnGrid::columnStart(from, to, c.columns, col);
        return static_cast<std::size_t>(std::lower_bound(run.time.begin(), run.time.end(), start) -
                                        run.time.begin());
    };
    const std::size_t inWindow = exactBound(c.columns) - exactBound(0);
    const bool snapped = c.snap > 0 && inWindow / static_cast<std::size_t>(c.columns) >=
                                           ColumnGrid::kSnapBlocks * c.snap;
    for (int col = 0; col <= c.columns; ++col) {
        const std::size_t exact = exactBound(col);
        const std::size_t b = col == c.columns ? grid.end(col - 1) : grid.begin(col);
        if (!snapped || col == 0 || col == c.columns) {
            EXPECT_EQ(b, exact) << "bound " << col;
            continue;
        }
        const std::size_t storage = b < split ? run.wrap + b : b - split;
        EXPECT_TRUE(storage % c.snap == 0 || b == split) << "bound " << col << " at " << b;
        EXPECT_LE(b > exact ? b - exact : exact - b, c.snap / 2) << "bound " << col;
    }
    return grid;
}

Reference reference(const Samples& run, const ColumnGrid& grid) {
    Reference ref;
    ref.column.assign(run.time.size(), -1);
    for (int col = 0; col < grid.columns(); ++col) {
        for (std::size_t i = grid.begin(col); i < grid.end(col); ++i) {
            ref.column[i] = col;
        }
    }
    std::size_t disruptions = 0;
    for (std::size_t i = 0; i < run.time.size(); ++i) {
        disruptions += (run.flag[i] & kGap) != 0 || std::isnan(run.value[i]) ? 1 : 0;
        ref.disruptionsUpTo.push_back(disruptions);
    }
    return ref;
}

// Brute force per column: extremes, where they first occur, the first known sample.
struct Expected {
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
    std::size_t minAt = 0, maxAt = 0, first = 0;
    bool known = false;
};

std::vector<Expected> expectedColumns(const Samples& run, const Reference& ref, int columns) {
    std::vector<Expected> expected(static_cast<std::size_t>(columns));
    for (std::size_t i = 0; i < run.time.size(); ++i) {
        const float v = run.value[i];
        if (ref.column[i] < 0 || std::isnan(v)) {
            continue;
        }
        Expected& e = expected[static_cast<std::size_t>(ref.column[i])];
        if (!e.known) {
            e = {v, v, i, i, i, true};
        }
        if (v < e.min) {
            e.min = v;
            e.minAt = i;
        }
        if (v > e.max) {
            e.max = v;
            e.maxAt = i;
        }
    }
    return expected;
}

class DecimationTest : public testing::TestWithParam<Case> {};

TEST_P(DecimationTest, KeepsEveryColumnsExtremesAndBreaksAtGaps) {
    const Case& c = GetParam();
    std::mt19937 rng(1234);
    const Samples run = makeSamples(c, rng);
    const Millis from = run.time.front() - c.lead;
    const Millis to = run.time.back() + c.trail;
    const ColumnGrid grid = checkedGrid(c, run, from, to);
    const std::vector<PlotPoint> points = Corvane::decimate(grid, run.slice(run.valueRing));
    EXPECT_EQ(Corvane::decimate(grid, run.slice(run.valueRing), run.blocks()), points)
        << "reading whole blocks from their summaries changes the result";
    const Reference ref = reference(run, grid);

    const std::vector<Expected> expected = expectedColumns(run, ref, c.columns);

    std::size_t p = 0;
    std::optional<std::size_t> previousFirst;
    for (int col = 0; col < c.columns; ++col) {
        const Expected& e = expected[static_cast<std::size_t>(col)];
        std::vector<PlotPoint> here;
        for (; p < points.size() && points[p].column == col; ++p) {
            here.push_back(points[p]);
        }
        ASSERT_EQ(!here.empty(), e.known) << "column " << col;
        if (!e.known) {
            continue;
        }
        ASSERT_EQ(here.size(), e.minAt == e.maxAt ? 1U : 2U) << "column " << col;
        const PlotPoint& first = here.front();
        EXPECT_EQ(first.value, e.minAt <= e.maxAt ? e.min : e.max) << "column " << col;
        EXPECT_EQ(here.back().value, e.minAt <= e.maxAt ? e.max : e.min) << "column " << col;
        EXPECT_FALSE(here.size() == 2 && here.back().breakBefore) << "column " << col;
        if (previousFirst) {
            const bool disrupted =
                ref.disruptionsUpTo[e.first] != ref.disruptionsUpTo[*previousFirst];
            EXPECT_EQ(first.breakBefore, disrupted) << "column " << col;
        }
        previousFirst = e.first;
    }
    EXPECT_EQ(p, points.size()) << "points outside the window's columns, or out of order";
}

TEST_P(DecimationTest, KeepsEveryColumnsLastStateAndFirstFault) {
    const Case& c = GetParam();
    std::mt19937 rng(99);
    const Samples run = makeSamples(c, rng);
    const Millis from = run.time.front() - c.lead;
    const Millis to = run.time.back() + c.trail;
    const ColumnGrid grid = checkedGrid(c, run, from, to);
    std::vector<StateColumn> states;
    Corvane::decimateStates(grid, run.slice(run.stateRing), 0xFF, kFaults, states);
    const Reference ref = reference(run, grid);

    ASSERT_EQ(states.size(), static_cast<std::size_t>(c.columns));
    std::vector<StateColumn> expected(states.size(), StateColumn{0xFF, 0});
    std::uint8_t carried = 0xFF;
    std::size_t i = 0;
    for (int col = 0; col < c.columns; ++col) {
        StateColumn& e = expected[static_cast<std::size_t>(col)];
        for (; i < run.time.size() && ref.column[i] <= col; ++i) {
            const std::uint8_t s = run.state[i];
            if (ref.column[i] == col && s != carried && ((kFaults >> s) & 1U) && e.entered == 0) {
                e.entered = s;
            }
            carried = ref.column[i] == col ? s : carried;
        }
        e.last = carried;
        EXPECT_EQ(states[static_cast<std::size_t>(col)].last, e.last) << "column " << col;
        EXPECT_EQ(states[static_cast<std::size_t>(col)].entered, e.entered) << "column " << col;
    }
}

// An hour at 50 samples a second is 180,000 samples, with single-sample spikes; 10 s is 500.
INSTANTIATE_TEST_SUITE_P(
    Runs, DecimationTest,
    testing::Values(
        Case{"HourOnAChart", 180'000, 800, 20, 0.0005, 0.0002, 0.0005, 0, 1, 70'000, 0},
        Case{"HourInWholeBlocks", 180'000, 800, 20, 0.0005, 0.0002, 0.0005, 0, 1, 70'003, 16},
        Case{"TenSecondsSparserThanColumns", 500, 800, 20, 0.01, 0.01, 0.01, 0, 1, 123, 16},
        Case{"WindowInsideTheData", 20'000, 300, 20, 0.002, 0.001, 0.01, -100'000, -50'000, 9'999,
             0},
        Case{"WindowInsideTheDataInBlocks", 20'000, 120, 20, 0.002, 0.001, 0.01, -100'000, -50'000,
             9'999, 16},
        Case{"DataInsideTheWindow", 5'000, 640, 20, 0.002, 0.002, 0.01, 30'000, 60'000, 1, 0},
        Case{"ManySamplesShareATime", 30'000, 200, 1, 0.002, 0.002, 0.01, 0, 1, 15'000, 0},
        Case{"MostlyUnknown", 10'000, 500, 20, 0.08, 0.0, 0.0, 0, 1, 4'000, 0},
        Case{"MostlyUnknownInBlocks", 40'000, 100, 20, 0.08, 0.001, 0.0, 0, 1, 4'000, 16},
        Case{"OneColumn", 1'000, 1, 20, 0.01, 0.01, 0.05, 0, 1, 500, 0}),
    [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

} // namespace
