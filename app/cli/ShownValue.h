#pragma once

#include "UnitItems.h"

#include <string>

namespace Corvane::cli {

// The value for one line of a report: texts (names, scripts) in quotes, a long or multi-line
// one cut after its first 40 characters with its length given.
std::string shown(const mapping::Item& item);

} // namespace Corvane::cli
