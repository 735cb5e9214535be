#include "AxisTicks.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using Corvane::AxisTicks;

TEST(AxisTicks, ValueScalesCoverTheDataInNiceSteps) {
    struct Row {
        double min, max;
        int maxTicks;
        double low, high, step;
        int decimals;
    };
    for (const Row& r : {
             Row{0.0, 56.0, 6, 0, 60, 10, 0},
             Row{-0.01, 56.0, 6, 0, 60, 10, 0},  // rest noise does not cost a step
             Row{-0.9, 56.0, 6, -10, 60, 10, 0}, // a real negative reading does
             Row{-0.01, 14.1, 6, 0, 15, 2.5, 1},
             Row{12.6, 12.6, 5, 12, 13.2, 0.2, 1}, // flat: room either side
             Row{0.5, 3.2, 5, 0, 4, 1, 0},
             Row{36.61, 43.7, 4, 36, 44, 2, 0},
             Row{0.012, 0.047, 4, 0.01, 0.05, 0.01, 2},
             Row{-67.84, 412.16, 5, -100, 500, 100, 0},
         }) {
        const AxisTicks::Scale s = AxisTicks::valueScale(r.min, r.max, r.maxTicks);
        const std::string row = std::to_string(r.min) + ".." + std::to_string(r.max);
        EXPECT_NEAR(s.low, r.low, 1e-9) << row;
        EXPECT_NEAR(s.high, r.high, 1e-9) << row;
        EXPECT_NEAR(s.step, r.step, 1e-12) << row;
        EXPECT_EQ(s.decimals, r.decimals) << row;
        EXPECT_LE(s.low, r.min + (r.max - r.min) * AxisTicks::kOvershoot + 1e-9) << row;
        EXPECT_GE(s.high, r.max - (r.max - r.min) * AxisTicks::kOvershoot - 1e-9) << row;
    }
}

TEST(AxisTicks, ValueLabelsUseTheLocaleAndNeverReadMinusZero) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(AxisTicks::valueLabel(2.5, 1), "2,5");
    EXPECT_EQ(AxisTicks::valueLabel(-0.001, 2), "0,00");
    EXPECT_EQ(AxisTicks::valueLabel(1250, 0), "1.250");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(AxisTicks::valueLabel(-12.5, 1), "-12.5");
    QLocale::setDefault(QLocale::system());
}

TEST(AxisTicks, TimeStepsLeaveRoomForTheirLabels) {
    struct Row {
        AxisTicks::Millis span;
        int width;
        AxisTicks::Millis step;
    };
    for (const Row& r : {Row{10'000, 1000, 1000}, Row{10'000, 500, 2000}, Row{60'000, 1000, 5000},
                         Row{600'000, 1000, 60'000}, Row{3'600'000, 1000, 300'000},
                         Row{3'600'000, 300, 900'000}}) {
        EXPECT_EQ(AxisTicks::timeStep(r.span, r.width, 70), r.step) << r.span << " on " << r.width;
    }
    const auto ticks = AxisTicks::timeTicks(1'000'001, 1'010'000, 2000);
    ASSERT_FALSE(ticks.empty());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_GE(ticks[i], 1'000'001);
        EXPECT_LE(ticks[i], 1'010'000);
        EXPECT_EQ(i == 0 ? ticks[i] % 1000 : ticks[i] - ticks[i - 1], i == 0 ? 0 : 2000);
    }
}

} // namespace
