#pragma once

#include "TarnInterface.h"
#include "UsbDevice.h"

#include <cstdint>

namespace tarn {

// The unit on USB: the configuration pipe on bulk endpoint 1, the stream pipe on bulk
// endpoint 2, interface 0 of the first unit that can be opened.
class TarnUsb : public TarnInterface {
public:
    static constexpr uint16_t kVendorId = 0xA37C;
    static constexpr uint16_t kProductId = 0x010F;
    static constexpr uint8_t kInterface = 0;
    static constexpr uint32_t kLocation = 0; // any position on the bus
    static constexpr uint8_t kCfgEndpoint = 1;
    static constexpr uint8_t kStreamEndpoint = 2;
    static constexpr int32_t kStreamTimeout = 100;

    TarnUsb() = default;
    // Sends nothing: the owner disables the stream first if it wants the unit to stop.
    ~TarnUsb() override = default;

    Type type() const override { return Type::USB; }
    // Opens the unit and reads its version; a unit that does not answer is closed again.
    bool open() override;
    bool isOpen() const override { return usb_.isOpen(); }
    // Asks the unit to stop streaming (whether or not that gets through), then closes.
    void closeDevice() override;

    using TarnInterface::readCfg;
    using TarnInterface::writeCfg;
    bool writeCfg(const uint8_t* data, int32_t size, int32_t timeout) override;
    int32_t readCfg(uint8_t* data, int32_t size, int32_t timeout) override;
    bool writeStream(const uint8_t* data, int32_t size) override;
    int32_t readStream(uint8_t* data, int32_t size) override;

    OpenFailure openFailure() const override { return failure_; }
    int linkError() const override { return linkError_; }

private:
    void setFailure(OpenFailure failure, int code = 0);

    UsbDevice usb_;
    OpenFailure failure_ = OpenFailure::None;
    int linkError_ = 0; // the libusb code behind OpenFailure::Other
};

} // namespace tarn
