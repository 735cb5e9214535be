#include "UnitProbe.h"

#include "TarnUsb.h"
#include "UsbDevice.h"

#include <libusb-1.0/libusb.h>

#include <vector>

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

std::string explainOpenFailure() {
    // Listing needs no permission, so it tells "not there" from "there but not ours to open".
    std::vector<uint32_t> units;
    UsbDevice::listDevices(tarn::TarnUsb::kVendorId, tarn::TarnUsb::kProductId, units);
    if (units.empty()) {
        return "no Tarnwell unit is connected (no USB device a37c:010f); check the cable and "
               "that the unit has power.";
    }
    UsbDevice probe;
    const bool opened = probe.open(tarn::TarnUsb::kVendorId, tarn::TarnUsb::kProductId,
                                   tarn::TarnUsb::kInterface, tarn::TarnUsb::kLocation);
    if (opened) {
        return "a Tarnwell unit is connected but does not answer (no reply to the version "
               "request); unplug it and plug it in again.";
    }
    const std::string connected = "a Tarnwell unit is connected but ";
    switch (probe.openError()) {
    case LIBUSB_ERROR_NOT_FOUND:
        return "the Tarnwell unit went away while it was being opened.";
    case LIBUSB_ERROR_ACCESS:
        return connected + "this user may not open it (no permission); see \"USB access on "
                           "Linux\" in the README.";
    case LIBUSB_ERROR_BUSY:
        return connected + "another program is using it (is the Tarnwell console open?).";
    default:
        return connected + "it cannot be opened (" + usbErrorText(probe.openError()) + ").";
    }
}

} // namespace Corvane::cli
