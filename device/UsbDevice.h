#pragma once

#include <libusb-1.0/libusb.h>

#include <cstdint>
#include <memory>
#include <vector>

// A thin synchronous link to one USB device: finds it by vendor and product id (optionally at
// one position on the bus), claims one interface and moves bytes over its endpoints. Knows
// nothing of what the bytes mean.
class UsbDevice {
public:
    struct UsbIds {
        uint16_t vid = 0; // 0 matches every vendor
        uint16_t pid = 0; // 0 matches every product
    };

    UsbDevice();
    ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    // A location names one physical device: bus in bits 31-24, port on the parent hub in
    // 23-16, device address in 7-0. As a filter, a component of 0 matches any value.
    static uint32_t locationFromBusPortAddr(uint8_t bus, uint8_t port, uint8_t addr);
    static uint8_t busFromLocation(uint32_t location);
    static uint8_t portFromLocation(uint32_t location);
    static uint8_t addrFromLocation(uint32_t location);

    // Appends the location of every acceptable device, in enumeration order.
    static void listDevices(const std::vector<UsbIds>& ids, std::vector<uint32_t>& list);
    static void listDevices(uint16_t vid, uint16_t pid, std::vector<uint32_t>& list);

    // Closes whatever is open, then opens the first acceptable device that passes the
    // location filter, opens and lets interface `mi` be claimed.
    bool open(const std::vector<UsbIds>& ids, uint8_t mi, uint32_t location);
    bool open(uint16_t vid, uint16_t pid, uint8_t mi, uint32_t location);
    void close();
    void closeDevice();
    bool isOpen() const { return open_; }
    // Why the last open() failed, as a libusb code: LIBUSB_ERROR_NOT_FOUND when no acceptable
    // device was listed, otherwise the result of the last libusb_open or libusb_claim_interface
    // that failed (LIBUSB_ERROR_ACCESS: no permission; LIBUSB_ERROR_BUSY: another program holds
    // the interface). LIBUSB_SUCCESS after an open that worked, and before any open.
    int openError() const { return openError_; }
    uint32_t location() const { return location_; }

    // Endpoint numbers come without a direction bit. Writes succeed only when every byte was
    // sent; reads give the byte count or -1.
    bool bulkWrite(const uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout);
    int32_t bulkRead(uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout);
    bool interruptWrite(const uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout);
    int32_t interruptRead(uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout);

    // True for success; otherwise false, closing the device for the codes that mean it is
    // gone or unusable (anything but a timeout, bad parameter, busy, overflow, stall,
    // interruption or lack of memory).
    bool handleError(int32_t err);

    // libusb's own log level, 0 (none) to 4 (debug); larger values mean 4.
    void setDebugLevel(uint8_t level);

private:
    struct ContextDeleter {
        void operator()(libusb_context* ctx) const { libusb_exit(ctx); }
    };
    struct HandleDeleter {
        void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
    };
    using ContextPtr = std::unique_ptr<libusb_context, ContextDeleter>;
    using HandlePtr = std::unique_ptr<libusb_device_handle, HandleDeleter>;

    static ContextPtr makeContext();
    bool write(bool bulk, const uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout);
    int32_t read(bool bulk, uint8_t* data, int32_t size, uint8_t endpoint, int32_t timeout);
    int transfer(bool bulk, uint8_t address, uint8_t* data, int32_t size, int32_t timeout,
                 int& transferred);

    bool open_ = false;
    int openError_ = LIBUSB_SUCCESS;
    uint32_t location_ = 0;
    uint8_t interface_ = 0; // the interface claimed by the last open
    // Declared before handle_ so that a handle is always closed before its context ends.
    ContextPtr ctx_;
    HandlePtr handle_;
};
