#pragma once

#include "SimClock.h"

namespace sim {

// Time stands still until someone moves it. Waiting jumps straight to the deadline, so a
// blocked read under this clock costs no real time and always ends at the same instant.
class SimManualClock : public SimClock {
public:
    Duration now() const override { return now_; }
    void waitUntil(Duration deadline) override;

    // Moves time forward; a negative step is ignored, time never runs backwards.
    void advance(Duration step);

private:
    Duration now_{0};
};

} // namespace sim
