#include "SimClock.h"

namespace sim {

SimClock::~SimClock() = default;

} // namespace sim
