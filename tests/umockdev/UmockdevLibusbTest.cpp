// The product's USB code (UsbDevice under tarn::TarnUsb) on the real libusb-1.0, against the
// unit emulated at the kernel interface libusb itself uses: sysfs and udev for enumeration, and
// usbfs ioctls for open, kernel driver, claim and transfers. Runs under umockdev-wrapper.

#include "TarnUsb.h"
#include "UsbDevice.h"
#include "UsbfsUnit.h"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// umockdev-wrapper preloads umockdev's library ahead of AddressSanitizer's runtime, which the
// sanitizer refuses by default; the order is harmless here (umockdev's wrappers call through to
// the sanitized functions). Built in, so that CTest's test discovery under the wrapper works too.
extern "C" const char* __asan_default_options() {
    return "verify_asan_link_order=0";
}

using usbfs::Bytes;
using usbfs::UsbfsUnit;

namespace {

constexpr uint16_t kVid = tarn::TarnUsb::kVendorId;
constexpr uint16_t kPid = tarn::TarnUsb::kProductId;

// Replies as the unit sends them: version 1.0.5 with serial 7 and hardware revision 3.
const Bytes kVersionReply = {0x00, 3, 0x34, 0x12, 1, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0};

Bytes channelNameReply(uint8_t channel, const std::string& name) {
    Bytes b{0x13, channel};
    b.insert(b.end(), name.begin(), name.end());
    b.resize(64, 0);
    return b;
}

// A power and status packet: battery 12.6 V, ignition 1 at 12.1 V, channel 2 drawing 3.5 A
// with its relay on (state 1), mode MANUAL.
Bytes powerAndStatusPacket() {
    Bytes p{0x03, 0x00};
    const auto le16 = [&](uint16_t v) {
        p.push_back(static_cast<uint8_t>(v & 0xFFu));
        p.push_back(static_cast<uint8_t>(v >> 8));
    };
    le16(0);     // aux1
    le16(0);     // aux2
    le16(12600); // battery, mV
    le16(12100);
    le16(0);
    le16(0);
    p.insert(p.end(), {0xAC, 0x0D, 0, 0}); // total current 3500 mA
    for (int i = 0; i < 12; ++i) {
        le16(i == 2 ? 3500 : 0);
    }
    Bytes status(17, 0);
    status[0] = 1;        // mode
    status[2 + 2] = 0x10; // channel 2: relay state 1
    status[15] = 0x05;    // Bluetooth present and enabled
    p.insert(p.end(), status.begin(), status.end());
    return p;
}

class UmockdevLibusb : public ::testing::Test {
protected:
    void SetUp() override {
        testbed_ = umockdev_testbed_new();
        ASSERT_NE(testbed_, nullptr);
        // Only with umockdev's library preloaded does the test bed stand in for /sys and /dev.
        ASSERT_TRUE(umockdev_in_mock_environment())
            << "run this program under umockdev-wrapper (CTest does)";
    }
    void TearDown() override {
        unit_.reset();
        other_.reset();
        if (testbed_ != nullptr) {
            g_object_unref(testbed_);
        }
    }
    UsbfsUnit& plugUnit(uint8_t address = 5) {
        unit_ = std::make_unique<UsbfsUnit>(testbed_, kVid, kPid, 1, address);
        return *unit_;
    }
    // Opens the unit as the console does: the version read comes first.
    bool openUnit(tarn::TarnUsb& dev) {
        unit_->reply(0x81, kVersionReply);
        return dev.open();
    }

    UMockdevTestbed* testbed_ = nullptr;
    std::unique_ptr<UsbfsUnit> unit_;
    std::unique_ptr<UsbfsUnit> other_;
};

TEST_F(UmockdevLibusb, EnumerationFindsTheUnitByItsIdsAtItsPosition) {
    plugUnit(5);
    other_ = std::make_unique<UsbfsUnit>(testbed_, 0x1234, 0x5678, 2, 9);

    std::vector<uint32_t> units;
    UsbDevice::listDevices(kVid, kPid, units);
    EXPECT_EQ(units, std::vector<uint32_t>{UsbDevice::locationFromBusPortAddr(1, 1, 5)});

    std::vector<uint32_t> all;
    UsbDevice::listDevices(0, 0, all);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<uint32_t>{UsbDevice::locationFromBusPortAddr(1, 1, 5),
                                          UsbDevice::locationFromBusPortAddr(1, 2, 9)}));

    std::vector<uint32_t> none;
    UsbDevice::listDevices(kVid, 0x0001, none);
    EXPECT_TRUE(none.empty());
}

TEST_F(UmockdevLibusb, OpenDetachesTheKernelDriverClaimsAndReadsTheVersion) {
    UsbfsUnit& unit = plugUnit();
    ASSERT_TRUE(unit.kernelDriverAttached());
    tarn::TarnUsb dev;
    ASSERT_TRUE(openUnit(dev));

    EXPECT_FALSE(unit.kernelDriverAttached());
    EXPECT_TRUE(unit.claimed());
    const std::vector<std::string> calls = unit.calls();
    const auto at = [&](const std::string& name) {
        return std::find(calls.begin(), calls.end(), name) - calls.begin();
    };
    EXPECT_LT(at("DISCONNECT"), at("CLAIMINTERFACE"));
    EXPECT_LT(at("CLAIMINTERFACE"), static_cast<long>(calls.size()));
    EXPECT_EQ(unit.sent(0x01), std::vector<Bytes>{Bytes{0x00}});
    EXPECT_EQ(dev.version(), "1.0.5");
    EXPECT_EQ(dev.serialNumber(), 7u);
    EXPECT_EQ(dev.hwRev(), 3u);

    dev.closeDevice();
    EXPECT_FALSE(dev.isOpen());
    EXPECT_FALSE(unit.claimed());
    EXPECT_EQ(unit.sent(0x02), std::vector<Bytes>{(Bytes{0x00, 0x40})}); // stream disabled
}

TEST_F(UmockdevLibusb, AnInterfaceHeldByAnotherProgramIsReportedBusy) {
    UsbfsUnit& unit = plugUnit();
    unit.setKernelDriver(false);
    unit.setHeldElsewhere(true);
    UsbDevice usb;
    EXPECT_FALSE(usb.open(kVid, kPid, 0, 0));
    EXPECT_FALSE(usb.isOpen());
    EXPECT_EQ(usb.openError(), LIBUSB_ERROR_BUSY);
    const std::vector<std::string> calls = unit.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DISCONNECT"), 0); // nothing to detach

    unit.setHeldElsewhere(false); // the other program lets go
    EXPECT_TRUE(usb.open(kVid, kPid, 0, 0));
    EXPECT_EQ(usb.openError(), LIBUSB_SUCCESS);
    EXPECT_TRUE(unit.claimed());
}

TEST_F(UmockdevLibusb, ConfigurationCommandsExchangeTheirPackets) {
    UsbfsUnit& unit = plugUnit();
    tarn::TarnUsb dev;
    ASSERT_TRUE(openUnit(dev));

    unit.reply(0x81, channelNameReply(4, "Spot lights"));
    std::string name;
    ASSERT_TRUE(dev.getChannelName(4, &name));
    EXPECT_EQ(name, "Spot lights");

    unit.reply(0x81, {0x22});
    EXPECT_TRUE(dev.setMode(tarn::MODE_VALET));

    Bytes ip{0x30, 0x01, 0x88, 0x13};
    for (const uint32_t v : {0x0A01A8C0u, 0x00FFFFFFu, 0x0101A8C0u, 0x0101A8C0u, 0u, 0x1401A8C0u}) {
        for (int i = 0; i < 4; ++i) {
            ip.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    unit.reply(0x81, ip);
    uint32_t address = 0;
    uint16_t port = 0;
    bool dhcp = false;
    ASSERT_TRUE(
        dev.getIPSettings(&address, nullptr, nullptr, nullptr, nullptr, nullptr, &port, &dhcp));
    EXPECT_EQ(address, 0x0A01A8C0u);
    EXPECT_EQ(port, 5000);
    EXPECT_TRUE(dhcp);

    const std::vector<Bytes> sent = unit.sent(0x01);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1], (Bytes{0x13, 4}));
    EXPECT_EQ(sent[2], (Bytes{0x22, tarn::MODE_VALET}));
    EXPECT_EQ(sent[3], Bytes{0x30});
}

TEST_F(UmockdevLibusb, AStreamPacketIsReadAndDecodedAndASilentUnitTimesOut) {
    UsbfsUnit& unit = plugUnit();
    tarn::TarnUsb dev;
    ASSERT_TRUE(openUnit(dev));
    ASSERT_TRUE(dev.sendDataStreamEnable());
    EXPECT_EQ(unit.sent(0x02), std::vector<Bytes>{(Bytes{0x00, 0x80})}); // stream enabled

    unit.reply(0x82, powerAndStatusPacket());
    tarn::DataStreamFeedback fb;
    ASSERT_TRUE(dev.readDataStream(fb));
    ASSERT_NE(fb.power, nullptr);
    ASSERT_NE(fb.status, nullptr);
    EXPECT_FLOAT_EQ(fb.power->battery, 12.6f);
    EXPECT_FLOAT_EQ(fb.power->ignition[0], 12.1f);
    EXPECT_FLOAT_EQ(fb.power->current[2], 3.5f);
    EXPECT_FLOAT_EQ(fb.power->total_current, 3.5f);
    EXPECT_EQ(fb.status->mode, 1);
    EXPECT_EQ(fb.status->channel[2].relay_state, 1);
    EXPECT_TRUE(fb.status->bluetooth.present);
    EXPECT_TRUE(fb.status->bluetooth.enabled);

    // Nothing to say: libusb cancels the read at its 100 ms timeout; the link stays up.
    tarn::DataStreamFeedback none;
    EXPECT_FALSE(dev.readDataStream(none));
    EXPECT_EQ(none.power, nullptr);
    EXPECT_TRUE(dev.isOpen());
    const std::vector<std::string> calls = unit.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "DISCARDURB"), calls.end());
}

TEST_F(UmockdevLibusb, AnUnplugMidTransferClosesTheDeviceAndAReplugReconnects) {
    UsbfsUnit& unit = plugUnit(5);
    tarn::TarnUsb dev;
    ASSERT_TRUE(openUnit(dev));

    // The stream read is on the wire when the cable is pulled.
    bool wasPending = false;
    std::thread pull([&] {
        wasPending = unit.waitForPendingRead(0x82);
        unit.unplug();
    });
    tarn::DataStreamFeedback fb;
    EXPECT_FALSE(dev.readDataStream(fb));
    pull.join();
    EXPECT_TRUE(wasPending);
    EXPECT_FALSE(dev.isOpen());
    EXPECT_FALSE(dev.open()); // nothing left on the bus

    // The unit comes back under a new address; the next open finds it.
    UsbfsUnit& again = plugUnit(6);
    again.reply(0x81, kVersionReply);
    EXPECT_TRUE(dev.open());
    EXPECT_TRUE(again.claimed());
}

} // namespace
