#include "UsbDevice.h"

#include <algorithm>
#include <sys/types.h>

namespace {

constexpr int kLogLevelNone = LIBUSB_LOG_LEVEL_NONE;
constexpr uint8_t kMaxLogLevel = LIBUSB_LOG_LEVEL_DEBUG;

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], DeviceListDeleter>;

bool matches(const std::vector<UsbDevice::UsbIds>& ids, const libusb_device_descriptor& desc) {
    return std::any_of(ids.begin(), ids.end(), [&](const UsbDevice::UsbIds& id) {
        return (id.vid == 0 || id.vid == desc.idVendor) &&
               (id.pid == 0 || id.pid == desc.idProduct);
    });
}

// Walks the devices of `ctx` in enumeration order, skipping those whose descriptor cannot be
// read, until `visit(device, descriptor)` returns true. The list (and the references it holds)
// is freed on return; a handle opened meanwhile keeps its own reference.
template <typename Visit>
void forEachDevice(libusb_context* ctx, Visit&& visit) {
    libusb_device** raw = nullptr;
    const ssize_t count = libusb_get_device_list(ctx, &raw);
    if (count < 0) {
        return; // libusb made no list
    }
    const DeviceList list(raw);
    if (!list) {
        return;
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        libusb_device* device = list[i];
        libusb_device_descriptor desc{};
        if (device == nullptr || libusb_get_device_descriptor(device, &desc) != LIBUSB_SUCCESS) {
            continue;
        }
        if (visit(device, desc)) {
            return;
        }
    }
}

uint32_t locationOf(libusb_device* device) {
    return UsbDevice::locationFromBusPortAddr(libusb_get_bus_number(device),
                                              libusb_get_port_number(device),
                                              libusb_get_device_address(device));
}

} // namespace

UsbDevice::UsbDevice()
    : ctx_(makeContext()) {}

UsbDevice::~UsbDevice() {
    closeDevice();
    // ctx_ ends after this body; a context that was never made is not ended.
}

UsbDevice::ContextPtr UsbDevice::makeContext() {
    libusb_context* raw = nullptr;
    // A failed init leaves the instance without a context: nothing is then found or opened,
    // rather than handing a null context (libusb's implicit default one) to later calls.
    if (libusb_init(&raw) != LIBUSB_SUCCESS || raw == nullptr) {
        return ContextPtr{};
    }
    ContextPtr ctx(raw);
    libusb_set_option(ctx.get(), LIBUSB_OPTION_LOG_LEVEL, kLogLevelNone);
    return ctx;
}

uint32_t UsbDevice::locationFromBusPortAddr(uint8_t bus, uint8_t port, uint8_t addr) {
    return (uint32_t{bus} << 24) | (uint32_t{port} << 16) | uint32_t{addr};
}

uint8_t UsbDevice::busFromLocation(uint32_t location) {
    return static_cast<uint8_t>(location >> 24);
}

uint8_t UsbDevice::portFromLocation(uint32_t location) {
    return static_cast<uint8_t>((location >> 16) & 0xFFu);
}

uint8_t UsbDevice::addrFromLocation(uint32_t location) {
    return static_cast<uint8_t>(location & 0xFFu);
}

void UsbDevice::listDevices(const std::vector<UsbIds>& ids, std::vector<uint32_t>& list) {
    const ContextPtr ctx = makeContext();
    if (!ctx) {
        return;
    }
    forEachDevice(ctx.get(), [&](libusb_device* device, const libusb_device_descriptor& desc) {
        if (matches(ids, desc)) {
            list.push_back(locationOf(device));
        }
        return false;
    });
}

void UsbDevice::listDevices(uint16_t vid, uint16_t pid, std::vector<uint32_t>& list) {
    listDevices(std::vector<UsbIds>{{vid, pid}}, list);
}

bool UsbDevice::open(const std::vector<UsbIds>& ids, uint8_t mi, uint32_t location) {
    closeDevice();
    openError_ = LIBUSB_ERROR_NOT_FOUND;
    if (!ctx_) {
        openError_ = LIBUSB_ERROR_OTHER;
        return false;
    }
    const uint8_t wantBus = busFromLocation(location);
    const uint8_t wantPort = portFromLocation(location);
    const uint8_t wantAddr = addrFromLocation(location);

    forEachDevice(ctx_.get(), [&](libusb_device* device, const libusb_device_descriptor& desc) {
        if (!matches(ids, desc)) {
            return false;
        }
        const uint8_t bus = libusb_get_bus_number(device);
        if (wantBus != 0 && wantBus != bus) {
            return false;
        }
        const uint8_t port = libusb_get_port_number(device);
        if (wantPort != 0 && wantPort != port) {
            return false;
        }
        const uint8_t addr = libusb_get_device_address(device);
        if (wantAddr != 0 && wantAddr != addr) {
            return false;
        }
        libusb_device_handle* raw = nullptr;
        const int opened = libusb_open(device, &raw);
        if (opened != LIBUSB_SUCCESS || raw == nullptr) {
            openError_ = opened != LIBUSB_SUCCESS ? opened : LIBUSB_ERROR_OTHER;
            return false;
        }
        HandlePtr handle(raw);
        if (libusb_kernel_driver_active(handle.get(), mi) == 1) {
            // Whether the detach works shows in the claim that follows.
            libusb_detach_kernel_driver(handle.get(), mi);
        }
        const int claimed = libusb_claim_interface(handle.get(), mi);
        if (claimed != LIBUSB_SUCCESS) {
            openError_ = claimed;
            return false; // the handle closes here; try the next device
        }
        location_ = locationFromBusPortAddr(bus, port, addr);
        interface_ = mi;
        handle_ = std::move(handle);
        open_ = true;
        openError_ = LIBUSB_SUCCESS;
        return true;
    });
    return open_;
}

bool UsbDevice::open(uint16_t vid, uint16_t pid, uint8_t mi, uint32_t location) {
    return open(std::vector<UsbIds>{{vid, pid}}, mi, location);
}

void UsbDevice::close() {
    closeDevice();
}

void UsbDevice::closeDevice() {
    if (open_) {
        open_ = false;
        if (handle_) {
            libusb_release_interface(handle_.get(), interface_);
        }
    }
    handle_.reset();
}

bool UsbDevice::bulkWrite(const uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout) {
    return write(true, data, size, endpoint, timeout);
}

int32_t UsbDevice::bulkRead(uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout) {
    return read(true, data, size, endpoint, timeout);
}

bool UsbDevice::interruptWrite(const uint8_t* data, int32_t size, uint8_t endpoint,
                               int32_t timeout) {
    return write(false, data, size, endpoint, timeout);
}

int32_t UsbDevice::interruptRead(uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout) {
    return read(false, data, size, endpoint, timeout);
}

int UsbDevice::transfer(bool bulk, uint8_t address, uint8_t* data, int32_t size, int32_t timeout,
                        int& transferred) {
    transferred = 0;
    const auto ms = static_cast<unsigned>(timeout);
    return bulk ? libusb_bulk_transfer(handle_.get(), address, data, size, &transferred, ms)
                : libusb_interrupt_transfer(handle_.get(), address, data, size, &transferred, ms);
}

bool UsbDevice::write(bool bulk, const uint8_t* data, int32_t size, uint8_t endpoint,
                      int32_t timeout) {
    // A negative length or timeout is refused here: libusb would read the timeout as
    // unsigned (a wait of weeks, where 0 already means forever).
    if (!open_ || !handle_ || size < 0 || timeout < 0 || (data == nullptr && size > 0)) {
        return false;
    }
    int transferred = 0;
    // libusb takes one buffer type for both directions; it does not write to an OUT buffer.
    const int rc = transfer(bulk, static_cast<uint8_t>(endpoint & 0x7Fu),
                            const_cast<uint8_t*>(data), size, timeout, transferred);
    if (rc != LIBUSB_SUCCESS) {
        handleError(rc);
        return false;
    }
    return transferred == size;
}

int32_t UsbDevice::read(bool bulk, uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout) {
    if (!open_ || !handle_ || size < 0 || timeout < 0 || (data == nullptr && size > 0)) {
        return -1;
    }
    int transferred = 0;
    const int rc =
        transfer(bulk, static_cast<uint8_t>(endpoint | 0x80u), data, size, timeout, transferred);
    if (rc != LIBUSB_SUCCESS) {
        handleError(rc);
        return -1;
    }
    return transferred;
}

bool UsbDevice::handleError(int32_t err) {
    switch (err) {
    case LIBUSB_SUCCESS:
        return true;
    // The unit is slow, or the request was at fault: the link itself is fine.
    case LIBUSB_ERROR_TIMEOUT:
    case LIBUSB_ERROR_INVALID_PARAM:
    case LIBUSB_ERROR_BUSY:
    case LIBUSB_ERROR_OVERFLOW:
    case LIBUSB_ERROR_PIPE:
    case LIBUSB_ERROR_INTERRUPTED:
    case LIBUSB_ERROR_NO_MEM:
        return false;
    // Gone (unplugged), or unusable: close so that the owner sees it and reconnects.
    default:
        closeDevice();
        return false;
    }
}

void UsbDevice::setDebugLevel(uint8_t level) {
    level = std::min(level, kMaxLogLevel);
    if (ctx_) {
        libusb_set_option(ctx_.get(), LIBUSB_OPTION_LOG_LEVEL, int{level});
    }
}
