#include "UsbDevice.h"
#include "DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

using devtest::bus;
using sim::Call;

namespace {

constexpr uint16_t kV = 0x1111, kP = 0x2222;

class UsbDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { bus().reset(); }
};

TEST(UsbLocation, EncodesAndSplits) {
    EXPECT_EQ(UsbDevice::locationFromBusPortAddr(3, 2, 17), 0x03020011u);
    EXPECT_EQ(UsbDevice::busFromLocation(0x03020011u), 3);
    EXPECT_EQ(UsbDevice::portFromLocation(0x03020011u), 2);
    EXPECT_EQ(UsbDevice::addrFromLocation(0xFFFFAB11u), 0x11); // bits 15-8 belong to nothing
}

TEST_F(UsbDeviceTest, LocationFilterComparesOnlyNonZeroComponents) {
    bus().attach(kV, kP, 1, 4, 9);
    bus().attach(kV, kP, 2, 3, 7);
    bus().attach(kV, kP, 3, 3, 8);
    const std::array<std::pair<uint32_t, uint32_t>, 6> cases{{
        {0, 0x01040009},          // the first listed
        {0x00030008, 0x03030008}, // bus 0: port and address only
        {0x00030000, 0x02030007},
        {0x02000000, 0x02030007},
        {0x02030008, 0}, // no device has all three
        {0x00090000, 0},
    }};
    for (const auto& [filter, opened] : cases) {
        UsbDevice usb;
        EXPECT_EQ(usb.open(kV, kP, 0, filter), opened != 0) << filter;
        EXPECT_EQ(usb.location(), opened) << filter;
    }
}

TEST_F(UsbDeviceTest, IdListsMatchWithWildcardsAndListingAppends) {
    bus().attach(kV, kP, 1, 1, 1);
    bus().attach(kV, 0x3333, 1, 2, 2);
    bus().attach(0x4444, kP, 1, 3, 3);
    using Ids = std::vector<UsbDevice::UsbIds>;
    const std::array<std::pair<Ids, std::vector<uint32_t>>, 5> cases{{
        {{{0, 0}}, {0x01010001, 0x01020002, 0x01030003}},
        {{{kV, 0}}, {0x01010001, 0x01020002}},
        {{{0, kP}}, {0x01010001, 0x01030003}},
        {{{0x4444, kP}, {kV, 0x3333}}, {0x01020002, 0x01030003}}, // enumeration order
        {{}, {}},
    }};
    for (const auto& [ids, expected] : cases) {
        std::vector<uint32_t> found{42};
        UsbDevice::listDevices(ids, found);
        found.erase(found.begin()); // what was there stays first
        EXPECT_EQ(found, expected);
        UsbDevice usb;
        EXPECT_EQ(usb.open(ids, 0, 0), !expected.empty());
    }
    EXPECT_EQ(bus().liveContexts(), 0); // listing ends its private contexts
}

TEST_F(UsbDeviceTest, SkipsDevicesThatCannotBeReadOpenedOrClaimed) {
    bus().attach(kV, kP, 1, 1, 1)->setDescriptorResult(LIBUSB_ERROR_IO);
    bus().attach(kV, kP, 1, 2, 2)->setOpenResult(LIBUSB_ERROR_ACCESS);
    const auto busy = bus().attach(kV, kP, 1, 3, 3);
    busy->setClaimResult(LIBUSB_ERROR_BUSY);
    const auto good = bus().attach(kV, kP, 1, 4, 4);
    good->setKernelDriverActive(0, true);
    UsbDevice usb;
    ASSERT_TRUE(usb.open(kV, kP, 0, 0));
    EXPECT_EQ(usb.location(), 0x01040004u);
    EXPECT_EQ(busy->openHandles(), 0); // closed again after the failed claim
    EXPECT_TRUE(good->claimed(0));     // after its kernel driver was detached
}

// A tool that cannot open the unit has to tell the user why: absent, forbidden, or taken.
TEST_F(UsbDeviceTest, OpenErrorSaysWhyTheLastOpenFailed) {
    struct Case {
        int openResult;
        int claimResult;
        int expected;
    };
    const std::array<Case, 4> cases{{
        {LIBUSB_SUCCESS, LIBUSB_SUCCESS, LIBUSB_SUCCESS},
        {LIBUSB_ERROR_ACCESS, LIBUSB_SUCCESS, LIBUSB_ERROR_ACCESS},
        {LIBUSB_SUCCESS, LIBUSB_ERROR_BUSY, LIBUSB_ERROR_BUSY},
        {LIBUSB_ERROR_IO, LIBUSB_SUCCESS, LIBUSB_ERROR_IO},
    }};
    for (const auto& c : cases) {
        bus().reset();
        UsbDevice usb;
        EXPECT_FALSE(usb.open(kV, kP, 0, 0));
        EXPECT_EQ(usb.openError(), LIBUSB_ERROR_NOT_FOUND);
        const auto dev = bus().attach(kV, kP, 1, 1, 1);
        dev->setOpenResult(c.openResult);
        dev->setClaimResult(c.claimResult);
        EXPECT_EQ(usb.open(kV, kP, 0, 0), c.expected == LIBUSB_SUCCESS);
        EXPECT_EQ(usb.openError(), c.expected) << c.openResult << " " << c.claimResult;
    }
}

TEST_F(UsbDeviceTest, ReopeningClosesTheCurrentDeviceFirst) {
    const auto dev = bus().attach(kV, kP, 1, 1, 1);
    UsbDevice usb;
    ASSERT_TRUE(usb.open(kV, kP, 0, 0));
    bus().clearCalls();
    ASSERT_TRUE(usb.open(kV, kP, 0, 0));
    std::vector<Call> order;
    for (const auto& c : bus().calls()) {
        if (c.call == Call::ReleaseInterface || c.call == Call::Close || c.call == Call::Open) {
            order.push_back(c.call);
        }
    }
    EXPECT_EQ(order, (std::vector<Call>{Call::ReleaseInterface, Call::Close, Call::Open}));
    EXPECT_EQ(dev->openHandles(), 1);
    EXPECT_FALSE(usb.open(0x9999, kP, 0, 0)); // a failed reopen leaves it closed
    EXPECT_EQ(dev->openHandles(), 0);
}

TEST_F(UsbDeviceTest, TransfersFormEndpointAddressesAndRejectShortWrites) {
    const auto dev = bus().attach(kV, kP, 1, 1, 1);
    UsbDevice usb;
    const std::array<uint8_t, 64> out{};
    std::array<uint8_t, 64> in{};
    EXPECT_FALSE(usb.bulkWrite(out.data(), 64, 1, 200)); // never opened: libusb untouched
    EXPECT_EQ(usb.interruptRead(in.data(), 64, 1, 200), -1);
    EXPECT_TRUE(bus().transfers().empty());

    ASSERT_TRUE(usb.open(kV, kP, 0, 0));
    dev->queue(0x84, devtest::answer({6, 5}));
    EXPECT_TRUE(usb.interruptWrite(out.data(), 2, 0x81, 7)); // the direction bit is cleared
    EXPECT_EQ(usb.interruptRead(in.data(), 64, 4, 9), 2);
    dev->queue(0x01, devtest::shortBy1(64));
    EXPECT_FALSE(usb.bulkWrite(out.data(), 64, 1, 200)); // 63 of 64 bytes
    EXPECT_TRUE(usb.isOpen());
    EXPECT_FALSE(usb.bulkWrite(out.data(), -1, 1, 200)); // refused before libusb
    EXPECT_EQ(usb.bulkRead(in.data(), 64, 1, -1), -1);
    const auto t = bus().transfers();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(std::make_tuple(t[0].call, t[0].endpoint, t[0].timeout),
              std::make_tuple(Call::InterruptTransfer, uint8_t{0x01}, 7u));
    EXPECT_EQ(std::make_tuple(t[1].endpoint, t[1].length, t[1].timeout),
              std::make_tuple(uint8_t{0x84}, 64, 9u));
}

TEST_F(UsbDeviceTest, OnlyCodesMeaningTheDeviceIsGoneOrUnusableCloseIt) {
    const std::array<std::pair<int, bool>, 14> cases{{
        {LIBUSB_ERROR_TIMEOUT, true},
        {LIBUSB_ERROR_INVALID_PARAM, true},
        {LIBUSB_ERROR_BUSY, true},
        {LIBUSB_ERROR_OVERFLOW, true},
        {LIBUSB_ERROR_PIPE, true},
        {LIBUSB_ERROR_INTERRUPTED, true},
        {LIBUSB_ERROR_NO_MEM, true},
        {LIBUSB_ERROR_IO, false},
        {LIBUSB_ERROR_ACCESS, false},
        {LIBUSB_ERROR_NO_DEVICE, false},
        {LIBUSB_ERROR_NOT_FOUND, false},
        {LIBUSB_ERROR_NOT_SUPPORTED, false},
        {LIBUSB_ERROR_OTHER, false},
        {-42, false},
    }};
    const auto dev = bus().attach(kV, kP, 1, 1, 1);
    UsbDevice usb;
    std::array<uint8_t, 64> buf{};
    for (const auto& [code, staysOpen] : cases) {
        ASSERT_TRUE(usb.open(kV, kP, 0, 0));
        dev->queue(0x81, devtest::answer({1, 2}, code));
        EXPECT_EQ(usb.bulkRead(buf.data(), 64, 1, 200), -1) << code;
        EXPECT_EQ(usb.isOpen(), staysOpen) << code;
        ASSERT_TRUE(usb.open(kV, kP, 0, 0));
        EXPECT_FALSE(usb.handleError(code));
        EXPECT_EQ(usb.isOpen(), staysOpen) << code;
    }
    ASSERT_TRUE(usb.open(kV, kP, 0, 0));
    EXPECT_TRUE(usb.handleError(LIBUSB_SUCCESS));
    EXPECT_TRUE(usb.isOpen());
}

TEST_F(UsbDeviceTest, LogLevelGoesThroughTheOptionCallCappedAt4) {
    UsbDevice usb;
    const libusb_context* ctx = bus().calls(Call::Init).at(0).context;
    EXPECT_EQ(bus().logLevel(ctx), 0);
    usb.setDebugLevel(9);
    EXPECT_EQ(bus().logLevel(ctx), 4);
    usb.setDebugLevel(2);
    EXPECT_EQ(bus().logLevel(ctx), 2);
}

// libusb_init can fail; no later call may then get a null context (libusb's default one).
TEST_F(UsbDeviceTest, AFailedInitFindsNothingAndNeverPassesANullContext) {
    bus().attach(kV, kP, 1, 1, 1);
    {
        bus().failNextInit(LIBUSB_ERROR_NO_MEM);
        UsbDevice usb;
        EXPECT_FALSE(usb.open(kV, kP, 0, 0));
        usb.setDebugLevel(3);
        std::array<uint8_t, 4> buf{};
        EXPECT_EQ(usb.bulkRead(buf.data(), 4, 1, 200), -1);
        bus().failNextInit(LIBUSB_ERROR_NO_MEM);
        std::vector<uint32_t> list;
        UsbDevice::listDevices(0, 0, list);
        EXPECT_TRUE(list.empty());
    }
    ASSERT_EQ(bus().calls().size(), 2u); // the two failed inits and nothing else
    EXPECT_EQ(bus().calls(Call::Init).size(), 2u);
}

} // namespace
