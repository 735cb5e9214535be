#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace soak {

using Seconds = std::chrono::seconds;

// How long the soak runs and how its simulated time is cut up. Every cycle holds one unplug
// and a full round of load, fault, inverter, Bluetooth and ignition changes; the samples of the
// warm-up set the baseline the rest is judged against, so the warm-up spans whole cycles.
struct SoakPlan {
    Seconds length{};
    Seconds cycle{};
    Seconds warmUp{};
    Seconds unplugAt{30}; // into each cycle
    Seconds unplugFor{5};

    // One simulated hour with an unplug every ten minutes and the first ten as warm-up: what
    // every test run has time for, with five unplugs judged after the warm-up.
    static SoakPlan shortForm();
    // `hours` simulated hours, unplugged once an hour, the first hour as warm-up.
    static SoakPlan hourly(int hours);

    // TARN_SOAK_HOURS unset or empty: the short form. A whole number from 2 to 1000: that many
    // hours. Anything else leaves `error` saying why.
    static std::optional<SoakPlan> fromEnvironment(std::string& error);

    long long minutes() const;
    bool inWarmUp(long long minute) const;
    // Whether this minute starts a cycle (and so holds its unplug).
    bool startsCycle(long long minute) const;
};

// The unit changes made at the start of one simulated minute, drawn from a fixed seed so that
// every run goes the same way (and, started afresh each cycle, every cycle too).
struct MinuteChanges {
    int loadChannel = 0;
    double loadAmps = 0;
    int clickChannel = 0;
    bool clickOn = true;
    enum class Extra : std::uint8_t { Fault, Inverter, Bluetooth, Ignition } extra = Extra::Fault;
    int faultChannel = 0;
    bool faultIsFuse = false; // else a bad relay
    bool first = false;       // inverter over load / Bluetooth present / ignition 2
    bool second = false;      // inverter over temperature / Bluetooth connected / ignition 3
    bool third = false;       // Bluetooth searching
};

class ChangeSchedule {
public:
    explicit ChangeSchedule(std::uint32_t seed)
        : state_(seed == 0 ? 1 : seed) {}

    // The changes of the next minute; the extra kind takes turns.
    MinuteChanges next();

private:
    std::uint32_t draw(std::uint32_t below);

    std::uint32_t state_;
    unsigned step_ = 0;
};

} // namespace soak
