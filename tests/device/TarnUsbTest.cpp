#include "DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

using devtest::answer;
using devtest::bus;
using devtest::Bytes;
using devtest::versionReply;
using sim::Call;

namespace {

class TarnUsbTest : public ::testing::Test {
protected:
    void SetUp() override { bus().reset(); }
};

TEST_F(TarnUsbTest, OpenClaimsInterface0OfTheUnitAndReadsItsVersion) {
    const auto other = bus().attach(0x1234, 0x010F, 1, 1, 2);
    const auto unit = bus().attach(0xA37C, 0x010F, 1, 2, 3);
    unit->queue(0x81, answer(versionReply(1, 2, 3, 77)));
    tarn::TarnUsb dev;
    EXPECT_EQ(dev.type(), tarn::TarnInterface::Type::USB);
    ASSERT_TRUE(dev.open());
    EXPECT_TRUE(unit->claimed(0));
    EXPECT_EQ(other->openHandles(), 0);
    EXPECT_EQ(devtest::sentOn(0x01), std::vector<Bytes>{{0x00}});
    EXPECT_EQ(dev.version(), "1.2.3");
    EXPECT_EQ(dev.serialNumber(), 77u);
    bus().clearCalls();
    EXPECT_TRUE(dev.open()); // already open: nothing happens
    EXPECT_TRUE(bus().calls().empty());
}

TEST_F(TarnUsbTest, AUnitThatDoesNotAnswerTheVersionIsClosedAgain) {
    for (const bool silent : {true, false}) {
        bus().reset();
        const auto unit = bus().attach(0xA37C, 0x010F, 1, 1, 1);
        if (!silent) {
            unit->queue(0x81, answer(versionReply(1, 0, 5, 1, 19)));
        }
        tarn::TarnUsb dev;
        EXPECT_FALSE(dev.open());
        EXPECT_FALSE(dev.isOpen());
        EXPECT_EQ(unit->openHandles(), 0);
        EXPECT_EQ(dev.version(), "0.0.0");
    }
}

TEST_F(TarnUsbTest, CloseDeviceStopsTheStreamFirstEvenIfThatFails) {
    const auto unit = bus().attach(0xA37C, 0x010F, 1, 1, 1);
    tarn::TarnUsb dev;
    for (const bool sendFails : {false, true}) {
        unit->queue(0x81, answer(versionReply(1, 0, 5, 1)));
        ASSERT_TRUE(dev.open());
        bus().clearCalls();
        if (sendFails) {
            unit->queue(0x02, devtest::failWith(LIBUSB_ERROR_PIPE));
        }
        dev.closeDevice();
        EXPECT_FALSE(dev.isOpen());
        const auto& c = bus().calls();
        ASSERT_EQ(c.size(), 3u);
        EXPECT_EQ(std::make_tuple(c[0].call, c[0].endpoint, c[0].data),
                  std::make_tuple(Call::BulkTransfer, uint8_t{0x02}, Bytes{0x00, 0x40}));
        EXPECT_EQ(c[1].call, Call::ReleaseInterface);
        EXPECT_EQ(c[2].call, Call::Close);
    }
    EXPECT_EQ(dev.serialNumber(), 1u); // the identity outlives a close
}

TEST_F(TarnUsbTest, DestructionSendsNothingAndFreesEverything) {
    const auto unit = bus().attach(0xA37C, 0x010F, 1, 1, 1);
    {
        tarn::TarnUsb dev;
        unit->queue(0x81, answer(versionReply(1, 0, 5, 1)));
        ASSERT_TRUE(dev.open());
        bus().clearCalls();
    }
    EXPECT_TRUE(bus().transfers().empty());
    EXPECT_EQ(unit->openHandles(), 0);
    EXPECT_EQ(bus().liveContexts(), 0);
}

} // namespace
