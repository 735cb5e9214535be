#pragma once

#include <string>

namespace Corvane::cli {

// Why no unit could be opened, as a sentence for the operator: none connected, no permission
// (naming the README's section on USB access), held by another program, silent, or the USB
// error. Looks again on its own, after the device layer's open has failed.
std::string explainOpenFailure();

} // namespace Corvane::cli
