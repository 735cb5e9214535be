#include "SimRealClock.h"

#include <thread>

namespace sim {

SimClock::Duration SimRealClock::now() const {
    return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - start_);
}

void SimRealClock::waitUntil(Duration deadline) {
    std::this_thread::sleep_until(start_ + deadline);
}

} // namespace sim
