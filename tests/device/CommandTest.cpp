#include "DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>

using devtest::answer;
using devtest::bus;
using devtest::Bytes;
using devtest::sentOn;

namespace {

using Dev = tarn::TarnInterface;

struct CommandCase {
    const char* name;
    std::function<bool(Dev&)> run;
    Bytes request;       // exactly what goes on the wire
    std::size_t minimum; // shortest reply accepted
    unsigned timeout = 200;
};
[[maybe_unused]] void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes name64(Bytes head) {
    head.resize(64, 0);
    return head;
}

const std::array<CommandCase, 30> kCommands{{
    {"readVersion", [](Dev& d) { return d.readVersion(); }, {0x00}, 20},
    {"setSerialNumber",
     [](Dev& d) { return d.setSerialNumber(0x11223344); },
     {0x08, 0, 0, 0, 0x44, 0x33, 0x22, 0x11},
     2},
    {"factoryReset", [](Dev& d) { return d.factoryReset(); }, {0x0F}, 1, 500},
    {"setChannelConfig",
     [](Dev& d) { return d.setChannelConfig(3, 7.5, 1.0, true); },
     {0x10, 3, 1, 0, 0x4C, 0x1D, 0, 0, 0x05, 0x67, 0x13, 0x00},
     1},
    {"getChannelConfig",
     [](Dev& d) { return d.getChannelConfig(11, nullptr, nullptr, nullptr); },
     {0x11, 11},
     12},
    {"setChannelName", [](Dev& d) { return d.setChannelName(12, "Pump"); },
     name64({0x12, 12, 'P', 'u', 'm', 'p'}), 1},
    {"getChannelNameOfTheInverter",
     [](Dev& d) { return d.getChannelName(12, nullptr); },
     {0x13, 12},
     64},
    {"setButtonConfig",
     [](Dev& d) {
         return d.setButtonConfig({0, 1, 2, 3, 4, 5, 6, 26});
     },
     {0x24, 0, 1, 2, 3, 4, 5, 6, 26},
     1},
    {"getButtonConfig", [](Dev& d) { return d.getButtonConfig(nullptr); }, {0x25}, 9},
    {"setModeAuto", [](Dev& d) { return d.setModeAuto(); }, {0x22, 0}, 1},
    {"setModeManual", [](Dev& d) { return d.setModeManual(); }, {0x22, 1}, 1},
    {"setModeValet", [](Dev& d) { return d.setModeValet(); }, {0x22, 2}, 1},
    {"getMode", [](Dev& d) { return d.getMode(nullptr); }, {0x23}, 2},
    {"getScriptStatusWithoutOutput", [](Dev& d) { return d.getScriptStatus(nullptr); }, {0x21}, 2},
    {"executeIgnitionOn", [](Dev& d) { return d.executeScriptIgnitionOn(); }, {0x20, 1}, 1},
    {"executeIgnitionOff", [](Dev& d) { return d.executeScriptIgnitionOff(); }, {0x20, 2}, 1},
    {"executeValetOn", [](Dev& d) { return d.executeScriptValetIgnitionOn(); }, {0x20, 3}, 1},
    {"executeValetOff", [](Dev& d) { return d.executeScriptValetIgnitionOff(); }, {0x20, 4}, 1},
    {"executeStop", [](Dev& d) { return d.executeScriptStop(); }, {0x20, 0}, 1},
    {"setIPSettings",
     [](Dev& d) {
         return d.setIPSettings(0x0A01A8C0, 0x00FFFFFF, 1, 2, 3, 0x0201A8C0, 5000, true);
     },
     {0x29, 1, 0x88, 0x13, 192, 168, 1, 10, 255, 255, 255, 0,   1, 0,
      0,    0, 2,    0,    0,   0,   3, 0,  0,   0,   192, 168, 1, 2},
     1},
    {"getIPSettings",
     [](Dev& d) {
         return d.getIPSettings(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr);
     },
     {0x30},
     28},
    {"setChannelGroups", [](Dev& d) { return d.setChannelGroups(0x0A5F); }, {0x31, 0x5F, 0x0A}, 1},
    {"getChannelGroups", [](Dev& d) { return d.getChannelGroups(nullptr); }, {0x32}, 3},
    {"setId", [](Dev& d) { return d.setId(3); }, {0x33, 3}, 1},
    {"getId", [](Dev& d) { return d.getId(nullptr); }, {0x34}, 2},
    {"removePassword",
     [](Dev& d) { return d.setPassword(0xFFFFFFFF); },
     {0x35, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
     1},
    {"getPassword", [](Dev& d) { return d.getPassword(nullptr); }, {0x36}, 8},
    {"setBluetoothEnabled", [](Dev& d) { return d.setBluetoothEnabled(true); }, {0x37, 1}, 1},
    {"setBluetoothDisabled", [](Dev& d) { return d.setBluetoothEnabled(false); }, {0x37, 0}, 1},
    {"getBluetoothEnabled", [](Dev& d) { return d.getBluetoothEnabled(nullptr); }, {0x38}, 2},
}};

std::string commandName(const ::testing::TestParamInfo<CommandCase>& p) {
    return p.param.name;
}

class StandardExchange : public devtest::ConnectedUnit,
                         public ::testing::WithParamInterface<CommandCase> {
protected:
    // A reply of `size` bytes echoing byte 0 as given, the rest 0x01 (an "accepted" flag).
    bool runWithReply(std::size_t size, uint8_t cmd) {
        Bytes r(size, 0x01);
        if (size > 0) {
            r[0] = cmd;
        }
        unit_->queue(0x81, answer(r));
        return GetParam().run(dev_);
    }
    uint8_t cmd() const { return GetParam().request[0]; }
};

TEST_P(StandardExchange, SendsTheExactRequestAndAcceptsTheShortestReply) {
    const auto& c = GetParam();
    EXPECT_TRUE(runWithReply(c.minimum, cmd()));
    EXPECT_EQ(sentOn(0x01), std::vector<Bytes>{c.request});
    const auto t = bus().transfers();
    ASSERT_EQ(t.size(), 2u); // one attempt, nothing drained first
    EXPECT_EQ(t[0].timeout, c.timeout);
    EXPECT_EQ(t[1].endpoint, 0x81);
    EXPECT_EQ(t[1].length, 64);
    EXPECT_EQ(t[1].timeout, c.timeout);
}

TEST_P(StandardExchange, FailsOnAShortReplyAWrongEchoOrNoReply) {
    EXPECT_FALSE(runWithReply(GetParam().minimum - 1, cmd()));
    EXPECT_FALSE(runWithReply(64, static_cast<uint8_t>(cmd() ^ 0x40)));
    EXPECT_FALSE(GetParam().run(dev_)); // the unit stays silent
    EXPECT_TRUE(dev_.isOpen());
    EXPECT_EQ(sentOn(0x01).size(), 3u); // never retried
}

INSTANTIATE_TEST_SUITE_P(Commands, StandardExchange, ::testing::ValuesIn(kCommands), commandName);

using Commands = devtest::ConnectedUnit;

TEST_F(Commands, AFailedSendReadsNothingAndAGoneUnitCloses) {
    unit_->queue(0x01, devtest::failWith(LIBUSB_ERROR_TIMEOUT));
    EXPECT_FALSE(dev_.setMode(1));
    EXPECT_TRUE(sentOn(0x81).empty());
    unit_->queue(0x81, devtest::failWith(LIBUSB_ERROR_NO_DEVICE));
    EXPECT_FALSE(dev_.setMode(1));
    EXPECT_FALSE(dev_.isOpen());
    bus().clearCalls();
    EXPECT_FALSE(dev_.setMode(1)); // closed: refused without traffic
    EXPECT_TRUE(bus().transfers().empty());
}

TEST_F(Commands, FuseFieldsAreTruncatedTowardZeroAndHeldToInt32) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = -kMax - 1;
    const std::array<std::tuple<double, double, int32_t, int32_t>, 7> cases{{
        {0.7, 1.0, 699, 1271557}, // 0.7 / 0.001 is 699.9999999999999
        {7.5, 0.0, 7500, 0},
        {-0.7, -1.0, -699, -1271557},
        {kInf, 2000.0, kMax, kMax}, // past 1688.86 A²s the I²t field is full
        {-kInf, -1e300, kMin, kMin},
        {2147483.646, 0.0, 2147483646, 0},
        {-2147483.6485, 0.0, kMin, 0},
    }};
    for (const auto& [current, i2t, wireCurrent, wireI2t] : cases) {
        bus().clearCalls();
        unit_->queue(0x81, answer({0x10}));
        EXPECT_TRUE(dev_.setChannelConfig(0, current, i2t, false));
        const Bytes b = sentOn(0x01).at(0);
        const auto le32 = [&](std::size_t i) {
            return static_cast<int32_t>(uint32_t{b[i]} | uint32_t{b[i + 1]} << 8 |
                                        uint32_t{b[i + 2]} << 16 | uint32_t{b[i + 3]} << 24);
        };
        EXPECT_EQ(le32(4), wireCurrent) << current;
        EXPECT_EQ(le32(8), wireI2t) << i2t;
    }
    // A NaN has no integer: refused, nothing sent.
    bus().clearCalls();
    EXPECT_FALSE(dev_.setChannelConfig(0, std::nan(""), 1.0, true));
    EXPECT_FALSE(dev_.setChannelConfig(0, 1.0, -std::nan(""), true));
    EXPECT_TRUE(bus().transfers().empty());
}

TEST_F(Commands, ChannelNumbersOutOfRangeAreRefusedBeforeSending) {
    std::string name = "kept";
    EXPECT_FALSE(dev_.setChannelConfig(12, 1.0, 1.0, true));
    EXPECT_FALSE(dev_.getChannelConfig(12, nullptr, nullptr, nullptr));
    EXPECT_FALSE(dev_.setChannelName(13, "x"));
    EXPECT_FALSE(dev_.getChannelName(0x100, &name)); // would wrap to channel 0 on the wire
    EXPECT_TRUE(bus().transfers().empty());
    EXPECT_EQ(name, "kept");
}

TEST_F(Commands, ChannelNamesAreCutTo61BytesAndReadUpToTheirZero) {
    for (const auto& [name, sent] : std::array<std::pair<std::string, std::string>, 3>{
             {{std::string(100, 'A'), std::string(61, 'A')},
              {std::string("ab\0cd", 5), "ab"},
              {"Caf\xE9\xFF", "Caf\xE9\xFF"}}}) {
        bus().clearCalls();
        unit_->queue(0x81, answer({0x12}));
        ASSERT_TRUE(dev_.setChannelName(1, name));
        Bytes expected = name64({0x12, 1});
        std::copy(sent.begin(), sent.end(), expected.begin() + 2);
        EXPECT_EQ(sentOn(0x01).at(0), expected); // byte 63 stays the terminator
    }
    Bytes unterminated(64, 'Z');
    unterminated[0] = 0x13;
    unit_->queue(0x81, answer(name64({0x13, 2, 'H', 'o', 'r', 'n', 0, 'x'})));
    unit_->queue(0x81, answer(unterminated));
    std::string got;
    ASSERT_TRUE(dev_.getChannelName(2, &got));
    EXPECT_EQ(got, "Horn");
    ASSERT_TRUE(dev_.getChannelName(2, &got));
    EXPECT_EQ(got, std::string(61, 'Z'));
}

TEST_F(Commands, GetCommandsDecodeTheirReplies) {
    for (const Bytes& r :
         std::vector<Bytes>{{0x11, 4, 0xFE, 0, 0x18, 0xFC, 0xFF, 0xFF, 0x05, 0x67, 0x13, 0x00},
                            {0x25, 7, 255, 27, 0, 26, 1, 2, 3},
                            {0x21, 3},
                            {0x30, 2, 0x88, 0x13, 192, 168, 1, 10, 255, 255, 255, 0,   1, 0,
                             0,    0, 2,    0,    0,   0,   3, 0,  0,   0,   192, 168, 1, 2},
                            {0x32, 0x5F, 0x0A},
                            {0x36, 0, 0, 0, 1, 9, 0, 4},
                            {0x38, 0x80}}) {
        unit_->queue(0x81, answer(r));
    }
    double current = 0, i2t = 0;
    bool protect = true, dhcp = false, bt = false;
    tarn::CanMsgConfig buttons;
    tarn::ScriptType running = tarn::SCRIPT_NONE;
    uint32_t ip = 0, mask = 0, gw = 0, dns1 = 0, dns2 = 0, lcm = 0, pass = 0;
    uint16_t port = 0, groups = 0;
    ASSERT_TRUE(dev_.getChannelConfig(4, &current, &i2t, &protect));
    EXPECT_DOUBLE_EQ(current, -1.0); // signed
    EXPECT_NEAR(i2t, 1.0, 1e-6);
    EXPECT_FALSE(protect); // only bit 0 counts
    ASSERT_TRUE(dev_.getButtonConfig(&buttons));
    EXPECT_EQ(std::make_tuple(buttons.mode_select, buttons.startup, buttons.inverter_slave),
              std::make_tuple(7, 255, 3));
    EXPECT_FALSE(tarn::CanMsgConfig::hasButton(buttons.shutdown)); // 27: no button
    ASSERT_TRUE(dev_.getScriptStatus(&running));
    EXPECT_EQ(running, tarn::SCRIPT_VALET_IGNITION_ON);
    ASSERT_TRUE(dev_.getIPSettings(&ip, &mask, &gw, &dns1, &dns2, &lcm, &port, &dhcp));
    EXPECT_EQ(std::make_tuple(ip, mask, gw, dns1, dns2, lcm, port, dhcp),
              std::make_tuple(0x0A01A8C0u, 0x00FFFFFFu, 1u, 2u, 3u, 0x0201A8C0u, 5000, true));
    ASSERT_TRUE(dev_.getChannelGroups(&groups));
    EXPECT_EQ(groups, 0x0A5F);
    ASSERT_TRUE(dev_.getPassword(&pass));
    EXPECT_EQ(pass, 0x04000901u); // digits 1, 9, 0, 4 from byte 4 up
    ASSERT_TRUE(dev_.getBluetoothEnabled(&bt));
    EXPECT_TRUE(bt);
}

TEST_F(Commands, FailedGetsLeaveTheirOutputsAlone) {
    for (const Bytes& r : std::vector<Bytes>{{0x11}, {0x13}, {0x23}, {0x30}, {0x36}}) {
        unit_->queue(0x81, answer(r)); // each one byte long: too short for any of them
    }
    double current = -5;
    std::string name = "old";
    uint8_t mode = 9;
    uint32_t ip = 1, pass = 7;
    EXPECT_FALSE(dev_.getChannelConfig(0, &current, nullptr, nullptr));
    EXPECT_FALSE(dev_.getChannelName(0, &name));
    EXPECT_FALSE(dev_.getMode(&mode));
    EXPECT_FALSE(
        dev_.getIPSettings(&ip, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(dev_.getPassword(&pass));
    EXPECT_EQ(std::make_tuple(current, name, mode, ip, pass),
              std::make_tuple(-5.0, std::string("old"), uint8_t{9}, 1u, 7u));
}

TEST_F(Commands, SerialNumberNeedsTheUnitsAcceptance) {
    unit_->queue(0x81, answer({0x08, 0x00}));
    unit_->queue(0x81, answer({0x08, 0x01}));
    EXPECT_FALSE(dev_.setSerialNumber(5));
    EXPECT_TRUE(dev_.setSerialNumber(5));
}

TEST_F(Commands, AShortVersionReplyKeepsTheOldIdentity) {
    unit_->queue(0x81, answer(devtest::versionReply(2, 3, 4, 99, 19)));
    EXPECT_FALSE(dev_.readVersion());
    EXPECT_EQ(dev_.version(), "1.0.5"); // as read by open()
    EXPECT_EQ(dev_.serialNumber(), 7u);
    unit_->queue(0x81, answer(devtest::versionReply(10, 2, 0, 42)));
    ASSERT_TRUE(dev_.readVersion());
    EXPECT_EQ(dev_.version(), "10.2.0");
    EXPECT_EQ(std::make_tuple(dev_.versionMajor(), dev_.versionMinor(), dev_.versionBuild(),
                              dev_.serialNumber(), dev_.hwRev()),
              std::make_tuple(10u, 2u, 0u, 42u, 3u));
}

} // namespace
