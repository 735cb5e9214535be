#pragma once

#include "SimClock.h"

#include <chrono>

namespace sim {

// Wall time from a monotonic source, for the demo: waiting sleeps the calling thread.
class SimRealClock : public SimClock {
public:
    Duration now() const override;
    void waitUntil(Duration deadline) override;

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace sim
