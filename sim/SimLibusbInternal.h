#pragma once

// What the files of the libusb layer share: the objects behind libusb's opaque types and the
// checks and call records every entry point makes. SimLibusb.cpp holds contexts and devices,
// SimLibusbHandle.cpp device handles and interfaces, SimLibusbTransfer.cpp the transfers.
// Nothing outside sim/ includes this header.
//
// Objects handed out through the C interface (contexts, device-list arrays, devices, handles)
// are owned by the caller under libusb's rules and are given back by libusb_exit,
// libusb_free_device_list / the last unreference, and libusb_close. They are plain heap objects
// on purpose, not kept in any registry: a caller that breaks those rules then leaks them, and
// LeakSanitizer says so, as it would against the real library.

#include "SimBus.h"

#include "SimBusAccess.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

struct libusb_context {
    unsigned serial = 0; // for messages only
};

// One entry of a device list, refcounted as in libusb. It pins the simulated device and
// remembers what the device was when it was listed, so an entry from before an unplug stays
// dead after the device comes back.
struct libusb_device {
    libusb_context* context = nullptr;
    std::shared_ptr<sim::SimDevice> device;
    unsigned generation = 0;
    uint8_t address = 0;
    int references = 1;
};

struct libusb_device_handle {
    libusb_device* device = nullptr; // holds one reference
    unsigned generation = 0;         // the device's generation when it was opened
    std::vector<int> claimed;        // interfaces claimed through this handle
};

namespace sim::usb {

[[noreturn]] inline void callerBug(const char* call, const char* what, const void* object) {
    std::fprintf(stderr, "tarn_sim: %s: %s (%p)\n", call, what, object);
    std::abort();
}

inline SimBus& bus() {
    return SimBus::instance();
}

// Records a call when recording is on. The record is built only then, so a call with recording
// off allocates nothing here.
template <class Fill>
void note(Call call, const libusb_context* ctx, Fill&& fill) {
    SimBus& b = bus();
    if (!SimAccess::recording(b)) {
        return;
    }
    CallRecord record;
    record.call = call;
    record.context = ctx;
    std::forward<Fill>(fill)(record);
    SimAccess::record(b, std::move(record));
}

// A context that libusb_exit has ended (or that libusb_init never made) is a caller bug:
// the real library would work on freed memory.
inline void requireLive(const libusb_context* ctx, const char* call) {
    if (!SimAccess::contexts(bus()).contains(ctx)) {
        callerBug(call, "libusb context is not live (ended by libusb_exit or never made)", ctx);
    }
}

inline int deviceId(const libusb_device* dev) {
    return dev == nullptr ? -1 : dev->device->id();
}

inline int handleDeviceId(const libusb_device_handle* handle) {
    return handle == nullptr ? -1 : handle->device->device->id();
}

inline const libusb_context* handleContext(const libusb_device_handle* handle) {
    return handle == nullptr ? nullptr : handle->device->context;
}

// A handle goes stale when its device is unplugged after it was opened, replugged or not.
inline bool stale(const libusb_device_handle& handle) {
    return handle.generation != SimAccess::generation(*handle.device->device);
}

inline void unref(libusb_device* dev) {
    if (--dev->references == 0) {
        delete dev;
    }
}

} // namespace sim::usb
