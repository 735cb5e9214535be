#pragma once

#include "TarnInterface.h"

#include <memory>

namespace Corvane {

// The window's one device object as the window's parts see it: the window owns it from its
// construction to its teardown, after which the slot is empty. Parts hold a reference to the
// slot, not to the device, so that nothing they do can reach a device already destroyed.
using DeviceSlot = std::unique_ptr<tarn::TarnInterface>;

} // namespace Corvane
