// The libusb layer's synchronous transfers: each one is answered on the spot by the simulated
// device, from a scripted fault, a queued reply or its endpoint's handler, in that order.

#include "SimLibusbInternal.h"

#include <algorithm>
#include <span>

using sim::Call;
using sim::CallRecord;
using sim::SimAccess;
using sim::SimDevice;
using sim::usb::handleContext;
using sim::usb::handleDeviceId;
using sim::usb::note;
using sim::usb::requireLive;
using sim::usb::stale;

namespace {

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
