#pragma once

// Runs the window's polling ticks and judges each by the timeouts of the device layer: a tick
// waits only inside transfers, each transfer waits at most its pipe's timeout, and a tick
// makes no more exchanges than its work needs, so that it ends within a bound known before it
// starts.

#include <chrono>
#include <cstddef>
#include <string>

namespace Corvane {
class FormMain;
}
namespace sim {
class SimManualClock;
class SimUnit;
struct SimUnitSettings;
} // namespace sim

namespace monkey {

class Findings;

// The most a tick may do: configuration exchanges (a request and its reply, each within
// kCfgTimeout) and stream transfers (each within kStreamTimeout).
struct TickBudget {
    std::size_t exchanges = 0;
    std::size_t streamTransfers = 0;
    std::chrono::milliseconds bound() const;
};

class TickWatch {
public:
    TickWatch(Corvane::FormMain& window, sim::SimUnit& unit, sim::SimManualClock& clock,
              Findings& findings);

    // One tick of timer1, judged.
    void tick();
    // Judges the timeout of every transfer the bus recorded from call `first` on.
    void checkTimeouts(std::size_t first, const std::string& during);

    // A poll of an open unit, or the connection of a closed one with these settings.
    static TickBudget budgetFor(bool open, const sim::SimUnitSettings& unit);

    std::size_t count() const { return count_; }
    std::chrono::nanoseconds longest() const { return longest_; }

private:
    Corvane::FormMain& window_;
    sim::SimUnit& unit_;
    sim::SimManualClock& clock_;
    Findings& findings_;
    std::size_t count_ = 0;
    std::chrono::nanoseconds longest_{0};
};

} // namespace monkey
