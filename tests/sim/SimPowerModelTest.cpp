// The unit's electrical model on its own: how its fuses integrate and trip, and what it puts
// on the wire for loads it cannot carry.

#include "SimPowerModel.h"
#include "SimWire.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace {

using sim::RelayState;
using sim::SimChannelConfig;
using sim::SimPowerModel;
using Duration = SimPowerModel::Duration;
using namespace std::chrono_literals;

using Fuses = std::array<SimChannelConfig, sim::kRelayChannels>;

constexpr double kStep = 128.0 / 162759375.0;

Fuses fuses(int32_t currentMa, double limitA2s, bool protect = true) {
    Fuses f{};
    f.fill(SimChannelConfig{static_cast<uint8_t>(protect ? 1 : 0), currentMa,
                            static_cast<int32_t>(limitA2s / kStep)});
    return f;
}

Duration seconds(double s) {
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(s));
}

int16_t reportedMa(SimPowerModel& m, std::size_t channel) {
    std::array<uint8_t, 40> block{};
    m.writePower(block);
    return static_cast<int16_t>(sim::wire::get16(block, 16 + 2 * channel));
}

TEST(SimPowerModel, AFuseTripsWhenItsI2tIsSpent) {
    struct Case {
        double load;
        int32_t ratingMa;
        double limit;
    };
    const Case cases[] = {
        {20.0, 10000, 150.0}, // 300 A²/s over: 0.5 s
        {11.0, 10000, 1.0},   // barely over
        {3.0, 0, 9.0},        // no rating: all of I² counts
        {50.0, 10000, 0.0},   // no limit: the first instant over trips
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.load);
        const Fuses f = fuses(c.ratingMa, c.limit);
        const double rating = c.ratingMa * 0.001;
        const double tripS = f[0].limitA2s() / (c.load * c.load - rating * rating);
        SimPowerModel m(0.0, 1);
        m.setLoad(0, c.load);
        m.request(0, 1);
        m.advanceTo(seconds(tripS) - 1us, f);
        EXPECT_EQ(m.state(0), RelayState::On);
        m.advanceTo(seconds(tripS) + 1us, f);
        EXPECT_EQ(m.state(0), RelayState::OverCurrent);
        EXPECT_FALSE(m.relayClosed(0));
        EXPECT_EQ(reportedMa(m, 0), 0);
    }
}

TEST(SimPowerModel, IntegrationDoesNotDependOnTheStepSize) {
    const Fuses f = fuses(10000, 1000.0);
    SimPowerModel coarse(0.0, 1), fine(0.0, 1);
    for (auto* m : {&coarse, &fine}) {
        m->setLoad(0, 15.0);
        m->request(0, 1);
    }
    coarse.advanceTo(3s, f);
    for (int ms = 1; ms <= 3000; ++ms) {
        fine.advanceTo(std::chrono::milliseconds(ms), f);
    }
    EXPECT_NEAR(coarse.i2t(0), 375.0, 1e-9);
    EXPECT_NEAR(fine.i2t(0), coarse.i2t(0), 1e-6);
}

TEST(SimPowerModel, AFuseCoolsBelowItsRatingAndWithoutProtectionNeverTrips) {
    Fuses f = fuses(10000, 1000.0);
    SimPowerModel m(0.0, 1);
    m.setLoad(0, 20.0);
    m.request(0, 1);
    m.advanceTo(1s, f);
    EXPECT_NEAR(m.i2t(0), 300.0, 1e-9);
    m.setLoad(0, 5.0); // 75 A²/s under
    m.advanceTo(3s, f);
    EXPECT_NEAR(m.i2t(0), 150.0, 1e-9);
    m.advanceTo(10s, f);
    EXPECT_EQ(m.i2t(0), 0.0);

    f[0].flags = 0;
    m.setLoad(0, 30.0);
    m.advanceTo(1000s, f);
    EXPECT_EQ(m.state(0), RelayState::On);
    EXPECT_EQ(m.i2t(0), 0.0);
}

TEST(SimPowerModel, CurrentsAreClampedToTheirFieldAndBadLoadsCountAsNone) {
    SimPowerModel m(0.0, 1);
    m.request(0, 1);
    m.request(1, 1);
    m.setLoad(0, 1e300);
    m.setLoad(1, std::numeric_limits<double>::quiet_NaN());
    m.setLoad(2, -5.0);
    m.request(2, 1);
    EXPECT_EQ(reportedMa(m, 0), 32767);
    EXPECT_EQ(reportedMa(m, 1), 0);
    EXPECT_EQ(m.load(2), 0.0);
    EXPECT_EQ(m.state(2), RelayState::NoLoad);
}

} // namespace
