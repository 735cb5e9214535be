#include "TarnUsb.h"

#include <libusb-1.0/libusb.h>

namespace tarn {

namespace {

TarnInterface::OpenFailure failureOf(int code) {
    switch (code) {
    case LIBUSB_ERROR_NOT_FOUND:
    case LIBUSB_ERROR_NO_DEVICE:
        return TarnInterface::OpenFailure::NotFound;
    case LIBUSB_ERROR_ACCESS:
        return TarnInterface::OpenFailure::NoPermission;
    case LIBUSB_ERROR_BUSY:
        return TarnInterface::OpenFailure::Busy;
    default:
        return TarnInterface::OpenFailure::Other;
    }
}

} // namespace

bool TarnUsb::open() {
    if (usb_.isOpen()) {
        return true;
    }
    if (!usb_.open(kVendorId, kProductId, kInterface, kLocation)) {
        setFailure(failureOf(usb_.openError()), usb_.openError());
        return false;
    }
    if (!readVersion()) {
        // A version read that closed the link found the unit gone meanwhile.
        setFailure(usb_.isOpen() ? OpenFailure::NoAnswer : OpenFailure::NotFound);
        usb_.close();
        return false;
    }
    if (!usb_.isOpen()) {
        setFailure(OpenFailure::NotFound);
        return false;
    }
    setFailure(OpenFailure::None);
    return true;
}

void TarnUsb::setFailure(OpenFailure failure, int code) {
    failure_ = failure;
    linkError_ = failure == OpenFailure::Other ? code : 0;
}

void TarnUsb::closeDevice() {
    sendDataStreamDisable();
    usb_.close();
}

bool TarnUsb::writeCfg(const uint8_t* data, int32_t size, int32_t timeout) {
    return usb_.bulkWrite(data, size, kCfgEndpoint, timeout);
}

int32_t TarnUsb::readCfg(uint8_t* data, int32_t size, int32_t timeout) {
    const int32_t n = usb_.bulkRead(data, size, kCfgEndpoint, timeout);
    return n < 0 ? -1 : n;
}

bool TarnUsb::writeStream(const uint8_t* data, int32_t size) {
    return usb_.bulkWrite(data, size, kStreamEndpoint, kStreamTimeout);
}

int32_t TarnUsb::readStream(uint8_t* data, int32_t size) {
    const int32_t n = usb_.bulkRead(data, size, kStreamEndpoint, kStreamTimeout);
    return n < 0 ? -1 : n;
}

} // namespace tarn
