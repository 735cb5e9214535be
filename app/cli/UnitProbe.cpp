#include "UnitProbe.h"

#include <libusb-1.0/libusb.h>

namespace Corvane::cli {
namespace {

// libusb's own texts are not part of every backend this program links, so its few codes that
// can come from opening a device are named here.
std::string usbErrorText(int code) {
    switch (code) {
    case LIBUSB_ERROR_IO:
        return "input/output error";
    case LIBUSB_ERROR_NO_DEVICE:
        return "the device went away";
    case LIBUSB_ERROR_NO_MEM:
        return "out of memory";
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return "not supported on this system";
    default:
        return "USB error " + std::to_string(code);
    }
}

} // namespace

std::string explainOpenFailure(const tarn::TarnInterface& dev) {
    using Failure = tarn::TarnInterface::OpenFailure;
    const std::string connected = "a Tarnwell unit is connected but ";
    switch (dev.openFailure()) {
    case Failure::None:
    case Failure::NotFound:
        break;
    case Failure::NoPermission:
        return connected + "this user may not open it (no permission); see \"USB access on "
                           "Linux\" in the README.";
    case Failure::Busy:
        return connected + "another program is using it (is the Tarnwell console open?).";
    case Failure::NoAnswer:
        return connected + "does not answer (no reply to the version request); unplug it and "
                           "plug it in again.";
    case Failure::Other:
        return connected + "it cannot be opened (" + usbErrorText(dev.linkError()) + ").";
    }
    return "no Tarnwell unit is connected (no USB device a37c:010f); check the cable and that "
           "the unit has power.";
}

} // namespace Corvane::cli
