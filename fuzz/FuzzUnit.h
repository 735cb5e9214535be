#pragma once

// A tarn::TarnUsb connected to one scripted unit on the simulated bus, for the device targets.

#include "FuzzInput.h"
#include "SimBus.h"
#include "TarnUsb.h"

#include <array>
#include <cstdint>
#include <memory>

namespace fuzz {

inline constexpr uint8_t kCfgOut = 0x01;
inline constexpr uint8_t kCfgIn = 0x81;
inline constexpr uint8_t kStreamIn = 0x82;

// Version 1.0.5, serial 7, hardware revision 3: what open() reads first.
inline sim::Reply versionReply() {
    sim::Reply r;
    r.data = {0x00, 3, 0x34, 0x12, 1, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0};
    return r;
}

// Empties the bus and attaches the unit, ready for one open(). Recording is off: the targets
// look at what the unit was sent through its handlers, and a record per call costs time.
inline std::shared_ptr<sim::SimDevice> attachUnit() {
    sim::SimBus& bus = sim::SimBus::instance();
    bus.reset();
    bus.setRecording(false);
    auto unit = bus.attach(tarn::TarnUsb::kVendorId, tarn::TarnUsb::kProductId, 1, 1, 5);
    unit->queue(kCfgIn, versionReply());
    return unit;
}

// A transfer result chosen by the fuzzer: mostly success, and every code a transfer can end
// with otherwise, those that mean the unit is gone included.
inline int resultCode(uint8_t choice) {
    static constexpr std::array<int, 16> codes = {
        LIBUSB_SUCCESS,           LIBUSB_SUCCESS,
        LIBUSB_SUCCESS,           LIBUSB_SUCCESS,
        LIBUSB_ERROR_TIMEOUT,     LIBUSB_ERROR_PIPE,
        LIBUSB_ERROR_OVERFLOW,    LIBUSB_ERROR_IO,
        LIBUSB_ERROR_NO_DEVICE,   LIBUSB_ERROR_BUSY,
        LIBUSB_ERROR_INTERRUPTED, LIBUSB_ERROR_NO_MEM,
        LIBUSB_ERROR_OTHER,       LIBUSB_ERROR_ACCESS,
        LIBUSB_ERROR_NOT_FOUND,   LIBUSB_ERROR_NOT_SUPPORTED,
    };
    return codes[choice % codes.size()];
}

} // namespace fuzz
