// The console's device layer, unchanged, against the simulated unit: what the console writes
// must be what the unit stores, and what the unit streams must decode to what it models.

#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

// Everything the console can set, as it reads it back: currents in mA and I²t in 1e-4 A²s,
// rounded, so that the comparison does not hang on the wire's truncation.
struct Settings {
    std::array<long, 12> fuseMa{};
    std::array<long, 12> i2t{};
    std::array<bool, 12> protect{};
    std::array<std::string, 13> names;
    std::array<uint8_t, 8> buttons{};
    uint8_t mode = 0;
    uint8_t id = 0;
    uint16_t groups = 0;
    uint32_t pin = 0;
    bool bluetooth = false;
    std::array<uint32_t, 6> ip{}; // address, subnet, gateway, dns1, dns2, LCM
    uint16_t lcmPort = 0;
    bool dhcp = false;
    std::array<std::string, 4> scripts;
    bool operator==(const Settings&) const = default;
};

bool read(tarn::TarnUsb& d, Settings& s) {
    bool ok = true;
    for (uint32_t ch = 0; ch < 12; ++ch) {
        double amps = 0, i2t = 0;
        bool protect = false;
        ok = ok && d.getChannelConfig(ch, &amps, &i2t, &protect);
        s.fuseMa[ch] = std::lround(amps * 1000);
        s.i2t[ch] = std::lround(i2t * 1e4);
        s.protect[ch] = protect;
    }
    for (uint32_t ch = 0; ch < 13; ++ch) {
        ok = ok && d.getChannelName(ch, &s.names[ch]);
    }
    tarn::CanMsgConfig b;
    ok = ok && d.getButtonConfig(&b);
    s.buttons = {b.mode_select, b.startup,    b.shutdown,        b.mode_auto,
                 b.mode_manual, b.mode_valet, b.inverter_master, b.inverter_slave};
    auto& ip = s.ip;
    ok = ok && d.getMode(&s.mode) && d.getId(&s.id) && d.getChannelGroups(&s.groups) &&
         d.getPassword(&s.pin) && d.getBluetoothEnabled(&s.bluetooth) &&
         d.getIPSettings(&ip[0], &ip[1], &ip[2], &ip[3], &ip[4], &ip[5], &s.lcmPort, &s.dhcp);
    for (uint32_t type = 1; type <= 4; ++type) {
        ok = ok && d.getScript(s.scripts[type - 1], type);
    }
    return ok;
}

bool write(tarn::TarnUsb& d, const Settings& s) {
    bool ok = true;
    for (uint32_t ch = 0; ch < 12; ++ch) {
        ok = ok && d.setChannelConfig(ch, static_cast<double>(s.fuseMa[ch]) / 1000,
                                      static_cast<double>(s.i2t[ch]) / 1e4, s.protect[ch]);
    }
    for (uint32_t ch = 0; ch < 13; ++ch) {
        ok = ok && d.setChannelName(ch, s.names[ch]);
    }
    const auto& b = s.buttons;
    const auto& ip = s.ip;
    ok =
        ok && d.setButtonConfig(tarn::CanMsgConfig{b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]});
    ok = ok && d.setMode(s.mode) && d.setId(s.id) && d.setChannelGroups(s.groups) &&
         d.setPassword(s.pin) && d.setBluetoothEnabled(s.bluetooth) &&
         d.setIPSettings(ip[0], ip[1], ip[2], ip[3], ip[4], ip[5], s.lcmPort, s.dhcp);
    for (uint32_t type = 1; type <= 4; ++type) {
        ok = ok && d.setScript(s.scripts[type - 1], type);
    }
    return ok;
}

class TarnUsbUnit : public ::testing::Test {
protected:
    void SetUp() override {
        bus().reset();
        unit_ = std::make_unique<sim::SimUnit>(bus(), clock_, options_);
        ASSERT_TRUE(dev_.open());
    }

    static sim::SimBus& bus() { return sim::SimBus::instance(); }

    // Reads packets until a status block has come (a power+status packet is at most two reads
    // away, the stream alternating).
    const tarn::StatusF32* nextStatus() {
        for (int i = 0; i < 2; ++i) {
            tarn::DataStreamFeedback fb;
            if (dev_.readDataStream(fb) && fb.status != nullptr) {
                return fb.status;
            }
        }
        return nullptr;
    }

    uint8_t relayState(std::size_t channel) {
        const tarn::StatusF32* status = nextStatus();
        return status == nullptr ? 0xFF : status->channel.at(channel).relay_state;
    }

    sim::SimManualClock clock_;
    sim::SimUnitOptions options_{};
    std::unique_ptr<sim::SimUnit> unit_;
    tarn::TarnUsb dev_;
};

TEST_F(TarnUsbUnit, OpenReadsTheIdentityAndTheSerialNumberCanBeSet) {
    dev_.closeDevice();
    unit_->setIdentity(sim::SimIdentity{7, 10, 2, 0, 0xBEEF, 0xA1B2C3D4});
    ASSERT_TRUE(dev_.open());
    EXPECT_EQ(dev_.hwRev(), 7u);
    EXPECT_EQ(dev_.version(), "10.2.0");
    EXPECT_EQ(dev_.serialNumber(), 0xA1B2C3D4u);

    EXPECT_TRUE(dev_.setSerialNumber(4242));
    ASSERT_TRUE(dev_.readVersion());
    EXPECT_EQ(dev_.serialNumber(), 4242u);

    unit_->setSerialAccepted(false);
    EXPECT_FALSE(dev_.setSerialNumber(99));
    ASSERT_TRUE(dev_.readVersion());
    EXPECT_EQ(dev_.serialNumber(), 4242u);
}

TEST_F(TarnUsbUnit, EverySettingRoundTripsAndIsWhatTheUnitStores) {
    Settings wanted;
    for (std::size_t ch = 0; ch < 12; ++ch) {
        wanted.fuseMa[ch] = 2000 + 500 * static_cast<long>(ch);
        wanted.i2t[ch] = 10000 * (1 + static_cast<long>(ch));
        wanted.protect[ch] = ch % 3 != 0;
    }
    for (std::size_t ch = 0; ch < 13; ++ch) {
        wanted.names[ch] = "Load " + std::to_string(ch) + " \xE9\x80\xFF";
    }
    wanted.names[4] = std::string(61, 'N');
    wanted.buttons = {0, 26, 27, 3, 4, 5, 200, 255};
    wanted.mode = 2;
    wanted.id = 3;
    wanted.groups = 0x0ABC;
    wanted.pin = 0x09000102;
    wanted.bluetooth = false;
    wanted.ip = {0x0A01A8C0, 0x00FFFFFF, 0x0101A8C0, 0x08080808, 0x04040808, 0x1401A8C0};
    wanted.lcmPort = 6001;
    wanted.dhcp = true;
    wanted.scripts = {"on", "", "valet\non", std::string(200, 's')};

    ASSERT_TRUE(write(dev_, wanted));
    Settings back;
    ASSERT_TRUE(read(dev_, back));
    EXPECT_EQ(back, wanted);
    // The unit holds the wire's values, not something that merely reads back the same.
    const sim::SimUnitSettings& u = unit_->settings();
    EXPECT_EQ(u.channels[3].currentMa, 3500);
    EXPECT_EQ(u.channels[3].i2tSteps, 5086230); // 4 A²s, truncated to whole steps
    EXPECT_EQ(u.names[4], wanted.names[4]);
    EXPECT_EQ(u.network.ipAddress, sim::ipv4(192, 168, 1, 10));
    EXPECT_EQ(u.scripts[2], "valet\non");
}

TEST_F(TarnUsbUnit, FactoryResetRestoresTheDefaults) {
    Settings fresh;
    ASSERT_TRUE(read(dev_, fresh));
    Settings changed = fresh;
    changed.fuseMa.fill(1000);
    changed.protect.fill(false);
    changed.names[12] = "Fridge";
    changed.buttons.fill(1);
    changed.mode = 1;
    changed.id = 2;
    changed.pin = 0x01010101;
    changed.bluetooth = false;
    changed.scripts[0] = "run";
    ASSERT_TRUE(write(dev_, changed));

    ASSERT_TRUE(dev_.factoryReset());
    Settings back;
    ASSERT_TRUE(read(dev_, back));
    EXPECT_EQ(back, fresh);
    // A new unit starts from the factory defaults, and they are the documented ones.
    EXPECT_EQ(back.fuseMa[5], 10000);
    EXPECT_EQ(back.i2t[5], 1000000); // 100 A²s
    EXPECT_EQ(back.names[5], "Channel 6");
    EXPECT_EQ(back.names[12], "Inverter");
    EXPECT_EQ(back.pin, 0xFFFFFFFFu);
    EXPECT_EQ(back.buttons[0], 255);
}

TEST_F(TarnUsbUnit, ScriptsRoundTripInSixtyByteChunks) {
    const std::size_t lengths[] = {0, 59, 60, 130, 65535};
    uint32_t type = 1;
    for (const std::size_t length : lengths) {
        SCOPED_TRACE(length);
        std::string text(length, ' ');
        for (std::size_t i = 0; i < length; ++i) {
            text[i] = static_cast<char>(1 + (i * 7) % 255); // every byte but zero
        }
        bus().clearCalls();
        ASSERT_TRUE(dev_.setScript(text, type));
        const auto transfers = bus().transfers();
        const auto chunks =
            std::count_if(transfers.begin(), transfers.end(), [](const sim::CallRecord& r) {
                return r.endpoint == 0x01 && r.data.at(0) == 0x26;
            });
        EXPECT_EQ(static_cast<std::size_t>(chunks), (length + 1 + 59) / 60);
        EXPECT_EQ(unit_->settings().scripts[type - 1], text);
        std::string back = "stale";
        ASSERT_TRUE(dev_.getScript(back, type));
        EXPECT_EQ(back, text);
        type = type % 4 + 1;
    }
}

TEST_F(TarnUsbUnit, AScriptWriteCutOffByAnUnplugIsNotCommitted) {
    ASSERT_TRUE(dev_.setScriptIgnitionOff("old text"));
    unit_->unplugAfterRequests(2); // the second of three chunks
    EXPECT_FALSE(dev_.setScriptIgnitionOff(std::string(130, 'x')));
    EXPECT_FALSE(dev_.isOpen());

    unit_->replug();
    ASSERT_TRUE(dev_.open());
    std::string text;
    ASSERT_TRUE(dev_.getScriptIgnitionOff(text));
    EXPECT_EQ(text, "old text");
    // A commit straight after the replug finds nothing staged from the broken write.
    EXPECT_TRUE(unit_->staging(2).empty());
}

TEST_F(TarnUsbUnit, TelemetryDecodesToTheLoadsAndFollowsRelayRequests) {
    unit_->setLoad(0, 2.5);
    unit_->setLoad(4, 12.345);
    unit_->setBluetoothConnected(true);
    ASSERT_TRUE(dev_.setModeManual());
    for (const uint32_t ch : {0u, 1u, 4u, 12u}) {
        ASSERT_TRUE(dev_.sendRelayRequestOn(ch));
    }
    ASSERT_TRUE(dev_.sendDataStreamEnable());

    tarn::DataStreamFeedback fb;
    ASSERT_TRUE(dev_.readDataStream(fb));
    ASSERT_TRUE(dev_.readDataStream(fb));
    ASSERT_NE(fb.power, nullptr);
    ASSERT_NE(fb.status, nullptr);
    ASSERT_NE(fb.temp, nullptr);
    EXPECT_NEAR(fb.power->current[0], 2.5f, 0.026f); // 1 % noise and the mA step
    EXPECT_EQ(fb.power->current[1], 0.0f);
    EXPECT_NEAR(fb.power->current[4], 12.345f, 0.125f);
    EXPECT_NEAR(fb.power->total_current, fb.power->current[0] + fb.power->current[4], 1e-5f);
    EXPECT_GE(fb.power->battery, 12.6f);
    EXPECT_LE(fb.power->battery, 14.4f);
    EXPECT_GT(fb.power->ignition[0], 12.0f);
    EXPECT_EQ(fb.power->ignition[1], 0.0f);
    EXPECT_EQ(fb.status->mode, 1);
    EXPECT_EQ(fb.status->channel[0].relay_state, 1); // ON
    EXPECT_EQ(fb.status->channel[1].relay_state, 2); // NO LOAD
    EXPECT_EQ(fb.status->channel[2].relay_state, 0); // OFF
    EXPECT_TRUE(fb.status->inverter.on);
    EXPECT_TRUE(fb.status->bluetooth.connected);
    EXPECT_NEAR(fb.temp->internal[0], 40.0f, 5.0f);
    EXPECT_NEAR(fb.temp->external[0], 22.0f, 5.0f);

    ASSERT_TRUE(dev_.sendRelayRequestToggle(0));
    unit_->setFault(4, sim::ChannelFault::BadFuse);
    unit_->setFault(1, sim::ChannelFault::BadRelay);
    const tarn::StatusF32* status = nextStatus();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->channel[0].relay_state, 0);
    EXPECT_EQ(status->channel[1].relay_state, 3); // BAD RELAY
    EXPECT_EQ(status->channel[4].relay_state, 4); // BAD FUSE
    EXPECT_FLOAT_EQ(fb.power->current[4], 0.0f);
}

TEST_F(TarnUsbUnit, AnOverCurrentTripsWhenItsI2tIsSpentAndNotBefore) {
    ASSERT_TRUE(dev_.setChannelConfig(2, 10.0, 150.0, true));
    unit_->setLoad(2, 20.0);
    ASSERT_TRUE(dev_.sendRelayRequestOn(2));
    ASSERT_TRUE(dev_.sendDataStreamEnable());
    const auto start = clock_.now();
    // (20² - 10²) A² spends the limit the unit stored in limit / 300 seconds.
    const double tripS = unit_->settings().channels[2].limitA2s() / 300.0;
    const auto trip = start + std::chrono::duration_cast<sim::SimClock::Duration>(
                                  std::chrono::duration<double>(tripS));

    clock_.waitUntil(trip - 1ms);
    EXPECT_EQ(relayState(2), 1);
    clock_.waitUntil(trip + 1ms);
    EXPECT_EQ(relayState(2), 5);
    tarn::DataStreamFeedback fb;
    while (fb.power == nullptr) {
        ASSERT_TRUE(dev_.readDataStream(fb));
    }
    EXPECT_FLOAT_EQ(fb.power->current[2], 0.0f);

    // It stays tripped until the next on request.
    ASSERT_TRUE(dev_.sendRelayRequestOff(2));
    EXPECT_EQ(relayState(2), 5);
    unit_->setLoad(2, 5.0);
    ASSERT_TRUE(dev_.sendRelayRequestOn(2));
    EXPECT_EQ(relayState(2), 1);
}

TEST_F(TarnUsbUnit, AnUnplugClosesTheLinkAndAReplugOpensAgain) {
    ASSERT_TRUE(dev_.sendDataStreamEnable());
    const uint8_t before = unit_->device()->address();
    unit_->unplug();
    EXPECT_TRUE(dev_.isOpen());
    uint8_t mode = 0;
    EXPECT_FALSE(dev_.getMode(&mode));
    EXPECT_FALSE(dev_.isOpen());
    EXPECT_FALSE(dev_.open());

    unit_->replug();
    EXPECT_NE(unit_->device()->address(), before);
    EXPECT_FALSE(unit_->streaming());
    ASSERT_TRUE(dev_.open());
    EXPECT_TRUE(dev_.getMode(&mode));
}

TEST_F(TarnUsbUnit, AFailedOpenKeepsItsReason) {
    using Failure = tarn::TarnInterface::OpenFailure;
    struct Case {
        const char* what;
        std::function<void(sim::SimUnit&)> spoil;
        Failure failure;
        int linkError;
    };
    const Case cases[] = {
        {"unplugged", [](sim::SimUnit& u) { u.unplug(); }, Failure::NotFound, 0},
        {"no permission", [](sim::SimUnit& u) { u.device()->setOpenResult(LIBUSB_ERROR_ACCESS); },
         Failure::NoPermission, 0},
        {"claimed elsewhere",
         [](sim::SimUnit& u) { u.device()->setClaimResult(LIBUSB_ERROR_BUSY); }, Failure::Busy, 0},
        {"silent", [](sim::SimUnit& u) { u.failNextReplies(sim::ReplyFault::Timeout, 1); },
         Failure::NoAnswer, 0},
        {"gone while asked", [](sim::SimUnit& u) { u.unplugAfterRequests(1); }, Failure::NotFound,
         0},
        {"other error",
         [](sim::SimUnit& u) { u.device()->setOpenResult(LIBUSB_ERROR_NOT_SUPPORTED); },
         Failure::Other, LIBUSB_ERROR_NOT_SUPPORTED},
    };
    EXPECT_EQ(dev_.openFailure(), Failure::None);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp(); // a fresh unit, open
        dev_.closeDevice();
        c.spoil(*unit_);
        EXPECT_FALSE(dev_.open());
        EXPECT_FALSE(dev_.isOpen());
        EXPECT_EQ(dev_.openFailure(), c.failure);
        EXPECT_EQ(dev_.linkError(), c.linkError);
    }
}

TEST_F(TarnUsbUnit, ScriptedReplyFaultsFailTheMatchingCall) {
    uint8_t mode = 0;
    const std::pair<sim::ReplyFault, std::function<bool()>> cases[] = {
        {sim::ReplyFault::Timeout, [&] { return dev_.readVersion(); }},
        {sim::ReplyFault::Short, [&] { return dev_.getMode(&mode); }},
        {sim::ReplyFault::Short, [&] { return dev_.setId(1); }}, // no byte at all
        {sim::ReplyFault::WrongId, [&] { return dev_.setBluetoothEnabled(true); }},
    };
    for (const auto& [fault, call] : cases) {
        SCOPED_TRACE(static_cast<int>(fault));
        unit_->failNextReplies(fault, 2);
        const auto before = clock_.now();
        EXPECT_FALSE(call());
        EXPECT_FALSE(call());
        EXPECT_TRUE(dev_.isOpen());
        EXPECT_EQ(clock_.now() - before, fault == sim::ReplyFault::Timeout ? 400ms : 0ms);
        EXPECT_TRUE(call());
    }
}

} // namespace
