#include "SoakPlan.h"

#include <array>
#include <cstdlib>

namespace soak {
namespace {

// Below the 10 A fuse rating the load runs on; 12 A and 16 A trip the channel within seconds
// (I²t 100 A²s), which then shows OVER CURRENT until it is switched on again. 0 A: NO LOAD.
constexpr std::array<double, 9> kLoads{0.0, 0.5, 1.25, 2.5, 4.0, 6.5, 9.0, 12.0, 16.0};

} // namespace

SoakPlan SoakPlan::shortForm() {
    SoakPlan plan;
    plan.length = std::chrono::hours(1);
    plan.cycle = std::chrono::minutes(10);
    plan.warmUp = std::chrono::minutes(10);
    return plan;
}

SoakPlan SoakPlan::hourly(int hours) {
    SoakPlan plan;
    plan.length = std::chrono::hours(hours);
    plan.cycle = std::chrono::hours(1);
    plan.warmUp = std::chrono::hours(1);
    return plan;
}

std::optional<SoakPlan> SoakPlan::fromEnvironment(std::string& error) {
    const char* text = std::getenv("TARN_SOAK_HOURS");
    if (text == nullptr || *text == '\0') {
        return shortForm();
    }
    char* end = nullptr;
    const long hours = std::strtol(text, &end, 10);
    if (*end != '\0' || hours < 2 || hours > 1000) {
        error = std::string("TARN_SOAK_HOURS must be a whole number of hours from 2 to 1000 (the "
                            "first is the warm-up), not \"") +
                text + "\"";
        return std::nullopt;
    }
    return hourly(static_cast<int>(hours));
}

long long SoakPlan::minutes() const {
    return std::chrono::duration_cast<std::chrono::minutes>(length).count();
}

bool SoakPlan::inWarmUp(long long minute) const {
    return std::chrono::minutes(minute) < warmUp;
}

bool SoakPlan::startsCycle(long long minute) const {
    return std::chrono::minutes(minute) % cycle == Seconds(0);
}

std::uint32_t ChangeSchedule::draw(std::uint32_t below) {
    // xorshift32: the same sequence on every platform and standard library.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ % below;
}

MinuteChanges ChangeSchedule::next() {
    MinuteChanges c;
    c.loadChannel = static_cast<int>(draw(12));
    c.loadAmps = kLoads.at(draw(kLoads.size()));
    c.clickChannel = static_cast<int>(draw(12));
    c.clickOn = draw(4) != 0; // mostly on, so that most channels carry their loads
    c.extra = static_cast<MinuteChanges::Extra>(step_++ % 4);
    c.faultChannel = static_cast<int>(draw(12));
    c.faultIsFuse = draw(2) != 0;
    c.first = draw(2) != 0;
    c.second = draw(2) != 0;
    c.third = draw(4) == 0;
    return c;
}

} // namespace soak
