#pragma once

#include "TarnInterface.h"

#include <string>

namespace Corvane::cli {

// Why `dev` could not open a unit, as a sentence for the operator: none connected, no
// permission (naming the README's section on USB access), held by another program, silent, or
// the USB error.
std::string explainOpenFailure(const tarn::TarnInterface& dev);

} // namespace Corvane::cli
