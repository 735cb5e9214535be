// The same device layer linked against the system's libusb instead of the simulated bus: the
// product's link works, and what does not depend on attached hardware behaves as on the bus.

#include "TarnUsb.h"
#include "UsbDevice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(SystemLibusb, AnEmptyIdListAcceptsNothingAndTransfersNeedAnOpenDevice) {
    std::vector<uint32_t> found{0xDEADBEEF};
    UsbDevice::listDevices(std::vector<UsbDevice::UsbIds>{}, found);
    EXPECT_EQ(found, std::vector<uint32_t>{0xDEADBEEF});

    UsbDevice usb;
    usb.setDebugLevel(9);
    EXPECT_FALSE(usb.open(std::vector<UsbDevice::UsbIds>{}, 0, 0));
    EXPECT_FALSE(usb.isOpen());
    uint8_t buffer[64] = {};
    EXPECT_EQ(usb.bulkRead(buffer, 64, 1, 10), -1);
    EXPECT_FALSE(usb.bulkWrite(buffer, 64, 1, 10));
}

TEST(SystemLibusb, AClosedUnitRefusesCommandsWithoutTouchingUsb) {
    tarn::TarnUsb dev;
    EXPECT_FALSE(dev.isOpen());
    uint8_t mode = 7;
    EXPECT_FALSE(dev.getMode(&mode));
    EXPECT_EQ(mode, 7);
    EXPECT_FALSE(dev.sendDataStreamEnable());
    dev.closeDevice();
    EXPECT_FALSE(dev.isOpen());
}
