#pragma once

#include "AccessDoctor.h"
#include "Session.h"

namespace Corvane::cli {

// Says whether this user can open the unit and, if not, why and the one thing to do about it:
// the unit on the bus, its device node's owner, mode and access list, the udev rule, the seat,
// the plugdev group and the program that holds the unit. Status 0 when the unit opens, else 3.
int runDoctor(Session& s, const DoctorPaths& paths = {},
              const DoctorUser& who = DoctorUser::current());

} // namespace Corvane::cli
