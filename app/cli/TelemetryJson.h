#pragma once

#include "Telemetry.h"

#include <string>

namespace Corvane::cli {

// One packet as the JSON object that `watch --json` prints and `publish` sends: the members are
// the columns of `watch --csv` under the same names (csvHeader), in the same order, with the
// same decimals; a block not received yet gives null, states are strings.
std::string telemetryJson(double seconds, const tarn::DataStreamFeedback& blocks);

} // namespace Corvane::cli
