#include "TarnUsb.h"

namespace tarn {

bool TarnUsb::open() {
    if (usb_.isOpen()) {
        return true;
    }
    // The version read can itself close the link (the unit vanished meanwhile).
    if (usb_.open(kVendorId, kProductId, kInterface, kLocation) && readVersion() && usb_.isOpen()) {
        return true;
    }
    usb_.close();
    return false;
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
