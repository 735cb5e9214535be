#include "SimManualClock.h"

namespace sim {

void SimManualClock::waitUntil(Duration deadline) {
    if (deadline > now_) {
        now_ = deadline;
    }
}

void SimManualClock::advance(Duration step) {
    if (step > Duration::zero()) {
        now_ += step;
    }
}

} // namespace sim
