// The libusb-1.0 functions the device layer calls, answered by the simulated bus: contexts,
// device lists and devices here, handles and their interfaces in SimLibusbHandle.cpp, the
// transfers in SimLibusbTransfer.cpp. SimLibusbInternal.h says who owns the objects handed out.

#include "SimLibusbInternal.h"

#include <cstdarg>
#include <cstring>
#include <limits>

using sim::Call;
using sim::CallRecord;
using sim::SimAccess;
using sim::SimBus;
using sim::SimDevice;
using sim::usb::bus;
using sim::usb::deviceId;
using sim::usb::note;
using sim::usb::requireLive;
using sim::usb::unref;

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx) {
    static unsigned serial = 0;
    SimBus& b = bus();
    if (ctx == nullptr) {
        // The simulation has no default context; a scripted failure waits for a real attempt.
        note(Call::Init, nullptr, [](CallRecord& r) { r.result = LIBUSB_ERROR_INVALID_PARAM; });
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    if (const auto failure = SimAccess::takeInitFailure(b)) {
        *ctx = nullptr;
        note(Call::Init, nullptr, [&](CallRecord& r) { r.result = *failure; });
        return *failure;
    }
    auto* made = new libusb_context{++serial};
    SimAccess::contexts(b)[made] = -1;
    *ctx = made;
    note(Call::Init, made, [](CallRecord& r) { r.result = LIBUSB_SUCCESS; });
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context* ctx) {
    note(Call::Exit, ctx, [](CallRecord&) {});
    if (ctx == nullptr) {
        return;
    }
    requireLive(ctx, "libusb_exit");
    SimAccess::contexts(bus()).erase(ctx);
    delete ctx;
}

int LIBUSB_CALL libusb_set_option(libusb_context* ctx, enum libusb_option option, ...) {
    int value = -1;
    int result = LIBUSB_SUCCESS;
    if (option == LIBUSB_OPTION_LOG_LEVEL) {
        std::va_list args;
        // The signature is libusb's own, an enum right before the ellipsis, and callers pass the
        // level as an int after it; clang rightly notes that the standard leaves this undefined,
        // but every ABI libusb runs on passes the enum as that int, and libusb reads it this way.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
        va_start(args, option);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
        value = va_arg(args, int);
        va_end(args);
    }
    if (ctx == nullptr) {
        result = LIBUSB_ERROR_INVALID_PARAM;
    } else {
        requireLive(ctx, "libusb_set_option");
        switch (option) {
        case LIBUSB_OPTION_LOG_LEVEL:
            if (value < LIBUSB_LOG_LEVEL_NONE || value > LIBUSB_LOG_LEVEL_DEBUG) {
                result = LIBUSB_ERROR_INVALID_PARAM;
            } else {
                SimAccess::contexts(bus())[ctx] = value;
            }
            break;
        case LIBUSB_OPTION_USE_USBDK: // a Windows backend
            result = LIBUSB_ERROR_NOT_SUPPORTED;
            break;
        case LIBUSB_OPTION_NO_DEVICE_DISCOVERY:
            break;
        default:
            result = LIBUSB_ERROR_INVALID_PARAM;
            break;
        }
    }
    note(Call::SetOption, ctx, [&](CallRecord& r) {
        r.option = static_cast<int>(option);
        r.value = value;
        r.result = result;
    });
    return result;
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* ctx, libusb_device*** list) {
    SimBus& b = bus();
    ssize_t result = 0;
    if (list != nullptr) {
        *list = nullptr;
    }
    if (ctx != nullptr) {
        requireLive(ctx, "libusb_get_device_list");
    }
    if (ctx == nullptr || list == nullptr) {
        result = LIBUSB_ERROR_INVALID_PARAM;
    } else if (const auto failure = SimAccess::takeDeviceListFailure(b)) {
        result = *failure;
    } else {
        const auto attached = b.devices();
        auto* entries = new libusb_device*[attached.size() + 1];
        for (std::size_t i = 0; i < attached.size(); ++i) {
            entries[i] = new libusb_device{ctx, attached[i], SimAccess::generation(*attached[i]),
                                           attached[i]->address(), 1};
        }
        entries[attached.size()] = nullptr;
        *list = entries;
        result = static_cast<ssize_t>(attached.size());
    }
    note(Call::GetDeviceList, ctx, [&](CallRecord& r) { r.result = static_cast<int>(result); });
    return result;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unref_devices) {
    note(Call::FreeDeviceList, nullptr, [&](CallRecord& r) { r.unref = unref_devices != 0; });
    if (list == nullptr) {
        return;
    }
    if (unref_devices != 0) {
        for (libusb_device** entry = list; *entry != nullptr; ++entry) {
            requireLive((*entry)->context, "libusb_free_device_list");
            unref(*entry);
        }
    }
    delete[] list;
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev,
                                             struct libusb_device_descriptor* desc) {
    int result = LIBUSB_SUCCESS;
    if (dev == nullptr || desc == nullptr) {
        result = LIBUSB_ERROR_INVALID_PARAM;
    } else {
        requireLive(dev->context, "libusb_get_device_descriptor");
        const SimDevice& device = *dev->device;
        result = SimAccess::descriptorResult(device);
        if (result == LIBUSB_SUCCESS) {
            *desc = libusb_device_descriptor{};
            desc->bLength = LIBUSB_DT_DEVICE_SIZE;
            desc->bDescriptorType = LIBUSB_DT_DEVICE;
            desc->bcdUSB = 0x0200;
            desc->bDeviceClass = LIBUSB_CLASS_PER_INTERFACE;
            desc->bMaxPacketSize0 = 64;
            desc->idVendor = device.vendorId();
            desc->idProduct = device.productId();
            desc->bcdDevice = 0x0100;
            desc->bNumConfigurations = 1;
        }
    }
    note(Call::GetDeviceDescriptor, dev == nullptr ? nullptr : dev->context, [&](CallRecord& r) {
        r.device = deviceId(dev);
        r.result = result;
    });
    return result;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* dev) {
    uint8_t value = 0;
    if (dev != nullptr) {
        requireLive(dev->context, "libusb_get_bus_number");
        value = dev->device->busNumber();
    }
    note(Call::GetBusNumber, dev == nullptr ? nullptr : dev->context, [&](CallRecord& r) {
        r.device = deviceId(dev);
        r.result = value;
    });
    return value;
}

uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device* dev) {
    uint8_t value = 0;
    if (dev != nullptr) {
        requireLive(dev->context, "libusb_get_port_number");
        value = dev->device->portNumber();
    }
    note(Call::GetPortNumber, dev == nullptr ? nullptr : dev->context, [&](CallRecord& r) {
        r.device = deviceId(dev);
        r.result = value;
    });
    return value;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev) {
    uint8_t value = 0;
    if (dev != nullptr) {
        requireLive(dev->context, "libusb_get_device_address");
        // The address it was listed under: a list entry from before a replug keeps the old one.
        value = dev->address;
    }
    note(Call::GetDeviceAddress, dev == nullptr ? nullptr : dev->context, [&](CallRecord& r) {
        r.device = deviceId(dev);
        r.result = value;
    });
    return value;
}

} // extern "C"
