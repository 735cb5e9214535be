// The libusb-1.0 functions the device layer calls, answered by the simulated bus.
//
// Objects handed out through the C interface (contexts, device-list arrays, devices, handles)
// are owned by the caller under libusb's rules and are given back by libusb_exit,
// libusb_free_device_list / the last unreference, and libusb_close. They are plain heap objects
// on purpose, not kept in any registry: a caller that breaks those rules then leaks them, and
// LeakSanitizer says so, as it would against the real library.

#include "SimBus.h"

#include "SimBusAccess.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

using sim::Call;
using sim::CallRecord;
using sim::SimAccess;
using sim::SimBus;
using sim::SimDevice;

struct libusb_context {
    unsigned serial = 0; // for messages only
};

// One entry of a device list, refcounted as in libusb. It pins the simulated device and
// remembers what the device was when it was listed, so an entry from before an unplug stays
// dead after the device comes back.
struct libusb_device {
    libusb_context* context = nullptr;
    std::shared_ptr<SimDevice> device;
    unsigned generation = 0;
    uint8_t address = 0;
    int references = 1;
};

struct libusb_device_handle {
    libusb_device* device = nullptr; // holds one reference
    unsigned generation = 0;         // the device's generation when it was opened
    std::vector<int> claimed;        // interfaces claimed through this handle
};

namespace {

// Linux and libusb accept interface numbers below this.
constexpr int kMaxInterfaces = 32;

[[noreturn]] void callerBug(const char* call, const char* what, const void* object) {
    std::fprintf(stderr, "tarn_sim: %s: %s (%p)\n", call, what, object);
    std::abort();
}

SimBus& bus() {
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
void requireLive(const libusb_context* ctx, const char* call) {
    if (!SimAccess::contexts(bus()).contains(ctx)) {
        callerBug(call, "libusb context is not live (ended by libusb_exit or never made)", ctx);
    }
}

int deviceId(const libusb_device* dev) {
    return dev == nullptr ? -1 : dev->device->id();
}

int handleDeviceId(const libusb_device_handle* handle) {
    return handle == nullptr ? -1 : handle->device->device->id();
}

const libusb_context* handleContext(const libusb_device_handle* handle) {
    return handle == nullptr ? nullptr : handle->device->context;
}

// A handle goes stale when its device is unplugged after it was opened, replugged or not.
bool stale(const libusb_device_handle& handle) {
    return handle.generation != SimAccess::generation(*handle.device->device);
}

void unref(libusb_device* dev) {
    if (--dev->references == 0) {
        delete dev;
    }
}

// What every interface call checks first: LIBUSB_SUCCESS when it may go on.
int checkInterfaceCall(const libusb_device_handle* handle, int interface, const char* call) {
    if (handle == nullptr || interface < 0 || interface >= kMaxInterfaces) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    requireLive(handle->device->context, call);
    return stale(*handle) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_SUCCESS;
}

// Everything but the bytes themselves: what a transfer did.
struct Completion {
    int status = LIBUSB_SUCCESS;
    int transferred = 0;
    int delivered = 0; // IN: bytes written into the caller's buffer
};

// A queued reply, as its comments in SimBus.h describe.
Completion fromReply(SimDevice& device, const sim::Reply& reply, const sim::Transfer& transfer) {
    const bool in = (transfer.endpoint & LIBUSB_ENDPOINT_IN) != 0;
    const int length = static_cast<int>(transfer.buffer.size());
    Completion done;
    done.status = reply.status;
    if (reply.unplug) {
        device.unplug();
        if (done.status == LIBUSB_SUCCESS) {
            done.status = LIBUSB_ERROR_NO_DEVICE;
        }
    }
    if (in) {
        const std::size_t n = std::min(reply.data.size(), transfer.buffer.size());
        std::copy_n(reply.data.begin(), n, transfer.buffer.begin());
        done.delivered = static_cast<int>(n);
        if (reply.data.size() > transfer.buffer.size() && done.status == LIBUSB_SUCCESS) {
            done.status = LIBUSB_ERROR_OVERFLOW;
        }
    }
    if (reply.transferred) {
        // Reported as is: a test may script a count the real stack would never give.
        done.transferred = *reply.transferred;
    } else if (done.status == LIBUSB_ERROR_OVERFLOW) {
        done.transferred = length;
    } else if (done.status != LIBUSB_SUCCESS) {
        done.transferred = 0;
    } else {
        done.transferred = in ? done.delivered : length;
    }
    return done;
}

// The endpoint's handler. It is run from a local, moved out of its slot, so a handler that
// replaces itself (or that of its endpoint) does not destroy the function it is running in;
// moving a std::function allocates nothing.
bool fromHandler(SimDevice& device, const sim::Transfer& transfer, Completion& done) {
    auto& handlers = SimAccess::handlers(device);
    auto slot = handlers.find(transfer.endpoint);
    if (slot == handlers.end() || !slot->second) {
        return false;
    }
    sim::EndpointHandler handler = std::move(slot->second);
    const sim::Outcome outcome = handler(transfer);
    slot = handlers.find(transfer.endpoint);
    if (slot != handlers.end() && !slot->second) {
        slot->second = std::move(handler);
    }
    // A device cannot move more bytes than the buffer holds, nor fewer than none.
    const int length = static_cast<int>(transfer.buffer.size());
    done.status = outcome.status;
    done.transferred = std::clamp(outcome.transferred, 0, length);
    done.delivered = (transfer.endpoint & LIBUSB_ENDPOINT_IN) != 0 ? done.transferred : 0;
    return true;
}

// Carries out one transfer as the device would, from its queue or its handler.
Completion answer(SimDevice& device, const sim::Transfer& t) {
    const int length = static_cast<int>(t.buffer.size());
    auto& queues = SimAccess::queues(device);
    if (const auto queue = queues.find(t.endpoint);
        queue != queues.end() && !queue->second.empty()) {
        const sim::Reply reply = std::move(queue->second.front());
        queue->second.pop_front();
        return fromReply(device, reply, t);
    }
    Completion done;
    if (fromHandler(device, t, done)) {
        return done;
    }
    // Nobody answers: the device swallows what it is sent and has nothing to say.
    if ((t.endpoint & LIBUSB_ENDPOINT_IN) != 0) {
        return {LIBUSB_ERROR_TIMEOUT, 0, 0};
    }
    return {LIBUSB_SUCCESS, length, 0};
}

// A transfer that a scripted fault spoils, as SimBus.h describes each fault.
Completion spoil(SimDevice& device, const sim::Transfer& t, sim::TransferFault fault) {
    const bool in = (t.endpoint & LIBUSB_ENDPOINT_IN) != 0;
    switch (fault) {
    case sim::TransferFault::Timeout:
        return {LIBUSB_ERROR_TIMEOUT, 0, 0};
    case sim::TransferFault::NoDevice:
        device.unplug();
        return {LIBUSB_ERROR_NO_DEVICE, 0, 0};
    case sim::TransferFault::Io:
        return {LIBUSB_ERROR_IO, 0, 0};
    case sim::TransferFault::Pipe:
        return {LIBUSB_ERROR_PIPE, 0, 0};
    case sim::TransferFault::Short: {
        if (!in) {
            sim::Transfer cut = t;
            cut.buffer = t.buffer.first(t.buffer.empty() ? 0 : t.buffer.size() - 1);
            return answer(device, cut);
        }
        Completion done = answer(device, t);
        if (done.delivered > 0) {
            --done.delivered;
            done.transferred = done.delivered;
        }
        return done;
    }
    case sim::TransferFault::WrongId:
        break;
    }
    Completion done = answer(device, t);
    if (in && done.delivered > 0) {
        t.buffer[0] = static_cast<uint8_t>(t.buffer[0] ^ 0x80u);
    }
    return done;
}

// Carries out one transfer, with valid arguments, on a handle that is not stale.
Completion complete(libusb_device_handle& handle, const sim::Transfer& t) {
    SimDevice& device = *handle.device->device;
    if (const auto fault = SimAccess::takeTransferFault(device)) {
        return spoil(device, t, *fault);
    }
    return answer(device, t);
}

int transfer(Call call, sim::TransferType type, libusb_device_handle* handle,
             unsigned char endpoint, unsigned char* data, int length, int* actual_length,
             unsigned int timeout) {
    const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
    Completion done{LIBUSB_ERROR_INVALID_PARAM, 0, 0};
    if (handle != nullptr) {
        requireLive(handle->device->context, call == Call::BulkTransfer
                                                 ? "libusb_bulk_transfer"
                                                 : "libusb_interrupt_transfer");
        if (stale(*handle)) {
            done.status = LIBUSB_ERROR_NO_DEVICE;
        } else if (length >= 0 && (data != nullptr || length == 0)) {
            done = complete(
                *handle,
                sim::Transfer{endpoint, type,
                              std::span<uint8_t>(data, static_cast<std::size_t>(length)), timeout});
        }
    }
    if (actual_length != nullptr) {
        *actual_length = done.transferred;
    }

    note(call, handleContext(handle), [&](CallRecord& r) {
        r.device = handleDeviceId(handle);
        r.endpoint = endpoint;
        r.length = length;
        r.timeout = timeout;
        r.result = done.status;
        r.transferred = done.transferred;
        if (data != nullptr && length > 0) {
            r.data.assign(data, data + (in ? done.delivered : length));
        }
    });
    return done.status;
}

} // namespace

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

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* dev_handle, unsigned char endpoint,
                                     unsigned char* data, int length, int* actual_length,
                                     unsigned int timeout) {
    return transfer(Call::BulkTransfer, sim::TransferType::Bulk, dev_handle, endpoint, data, length,
                    actual_length, timeout);
}

int LIBUSB_CALL libusb_interrupt_transfer(libusb_device_handle* dev_handle, unsigned char endpoint,
                                          unsigned char* data, int length, int* actual_length,
                                          unsigned int timeout) {
    return transfer(Call::InterruptTransfer, sim::TransferType::Interrupt, dev_handle, endpoint,
                    data, length, actual_length, timeout);
}

} // extern "C"
