#pragma once

#include <chrono>

namespace sim {

// The simulated unit's sense of time. Tests drive a manual clock by hand so that nothing ever
// sleeps and every run is the same; the demo uses the real-time clock, under which a stream read
// really blocks until its packet is due.
class SimClock {
public:
    // Time since the clock's own epoch (its construction).
    using Duration = std::chrono::nanoseconds;

    SimClock() = default;
    SimClock(const SimClock&) = delete;
    SimClock& operator=(const SimClock&) = delete;
    virtual ~SimClock();

    virtual Duration now() const = 0;
    // Returns once now() has reached `deadline`; returns at once when it already has.
    virtual void waitUntil(Duration deadline) = 0;
};

} // namespace sim
