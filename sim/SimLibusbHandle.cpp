// The libusb layer's device handles: opening and closing them, and the kernel-driver and claim
// calls made on their interfaces.

#include "SimLibusbInternal.h"

#include <algorithm>

using sim::Call;
using sim::CallRecord;
using sim::SimAccess;
using sim::SimDevice;
using sim::usb::deviceId;
using sim::usb::handleContext;
using sim::usb::handleDeviceId;
using sim::usb::note;
using sim::usb::requireLive;
using sim::usb::stale;
using sim::usb::unref;

namespace {

// Linux and libusb accept interface numbers below this.
constexpr int kMaxInterfaces = 32;

// What every interface call checks first: LIBUSB_SUCCESS when it may go on.
int checkInterfaceCall(const libusb_device_handle* handle, int interface, const char* call) {
    if (handle == nullptr || interface < 0 || interface >= kMaxInterfaces) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    requireLive(handle->device->context, call);
    return stale(*handle) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
}

} // namespace

extern "C" {

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** dev_handle) {
    int result = LIBUSB_SUCCESS;
    if (dev == nullptr || dev_handle == nullptr) {
        result = LIBUSB_ERROR_INVALID_PARAM;
    } else {
        requireLive(dev->context, "libusb_open");
        SimDevice& device = *dev->device;
        if (!device.attached() || dev->generation != SimAccess::generation(device)) {
            result = LIBUSB_ERROR_NO_DEVICE;
        } else if (const int scripted = SimAccess::openResult(device); scripted != LIBUSB_SUCCESS) {
            result = scripted;
        } else {
            ++dev->references;
            *dev_handle = new libusb_device_handle{dev, dev->generation, {}};
            ++SimAccess::openHandles(device);
        }
    }
    note(Call::Open, dev == nullptr ? nullptr : dev->context, [&](CallRecord& r) {
        r.device = deviceId(dev);
        r.result = result;
    });
    return result;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* dev_handle) {
    note(Call::Close, handleContext(dev_handle),
         [&](CallRecord& r) { r.device = handleDeviceId(dev_handle); });
    if (dev_handle == nullptr) {
        return;
    }
    requireLive(dev_handle->device->context, "libusb_close");
    SimDevice& device = *dev_handle->device->device;
    auto& claims = SimAccess::claims(device);
    for (const int interface : dev_handle->claimed) {
        if (--claims[interface] <= 0) {
            claims.erase(interface);
        }
    }
    --SimAccess::openHandles(device);
    unref(dev_handle->device);
    delete dev_handle;
}

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle* dev_handle,
                                            int interface_number) {
    int result = checkInterfaceCall(dev_handle, interface_number, "libusb_kernel_driver_active");
    if (result == LIBUSB_SUCCESS) {
        result = dev_handle->device->device->kernelDriverActive(interface_number) ? 1 : 0;
    }
    note(Call::KernelDriverActive, handleContext(dev_handle), [&](CallRecord& r) {
        r.device = handleDeviceId(dev_handle);
        r.interface = interface_number;
        r.result = result;
    });
    return result;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle* dev_handle,
                                            int interface_number) {
    int result = checkInterfaceCall(dev_handle, interface_number, "libusb_detach_kernel_driver");
    if (result == LIBUSB_SUCCESS) {
        SimDevice& device = *dev_handle->device->device;
        if (const int scripted = SimAccess::detachResult(device); scripted != LIBUSB_SUCCESS) {
            result = scripted;
        } else if (!device.kernelDriverActive(interface_number)) {
            result = LIBUSB_ERROR_NOT_FOUND; // no driver to detach, as libusb reports it
        } else {
            device.setKernelDriverActive(interface_number, false);
        }
    }
    note(Call::DetachKernelDriver, handleContext(dev_handle), [&](CallRecord& r) {
        r.device = handleDeviceId(dev_handle);
        r.interface = interface_number;
        r.result = result;
    });
    return result;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* dev_handle, int interface_number) {
    int result = checkInterfaceCall(dev_handle, interface_number, "libusb_claim_interface");
    if (result == LIBUSB_SUCCESS) {
        SimDevice& device = *dev_handle->device->device;
        auto& mine = dev_handle->claimed;
        if (std::find(mine.begin(), mine.end(), interface_number) != mine.end()) {
            // Claiming again through the same handle is a no-op, as in libusb.
        } else if (device.kernelDriverActive(interface_number)) {
            result = LIBUSB_ERROR_BUSY;
        } else if (const int scripted = SimAccess::claimResult(device);
                   scripted != LIBUSB_SUCCESS) {
            result = scripted;
        } else {
            mine.push_back(interface_number);
            ++SimAccess::claims(device)[interface_number];
        }
    }
    note(Call::ClaimInterface, handleContext(dev_handle), [&](CallRecord& r) {
        r.device = handleDeviceId(dev_handle);
        r.interface = interface_number;
        r.result = result;
    });
    return result;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* dev_handle, int interface_number) {
    int result = checkInterfaceCall(dev_handle, interface_number, "libusb_release_interface");
    if (result == LIBUSB_SUCCESS) {
        auto& mine = dev_handle->claimed;
        const auto it = std::find(mine.begin(), mine.end(), interface_number);
        if (it == mine.end()) {
            result = LIBUSB_ERROR_NOT_FOUND;
        } else {
            mine.erase(it);
            auto& claims = SimAccess::claims(*dev_handle->device->device);
            if (--claims[interface_number] <= 0) {
                claims.erase(interface_number);
            }
        }
    }
    note(Call::ReleaseInterface, handleContext(dev_handle), [&](CallRecord& r) {
        r.device = handleDeviceId(dev_handle);
        r.interface = interface_number;
        r.result = result;
    });
    return result;
}

} // extern "C"
