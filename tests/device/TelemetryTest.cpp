#include "DeviceTestSupport.h"
#include "TelemetryDecoder.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <tuple>

using devtest::answer;
using devtest::bus;
using devtest::Bytes;
using tarn::DataStreamFeedback;
using tarn::TelemetryDecoder;

namespace {

// Little-endian 16-bit words, as the blocks carry them.
Bytes words(std::initializer_list<int> values) {
    Bytes b;
    for (const int v : values) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return b;
}

// Power with battery `battery` mV; aux 1.5, 65.535; ignition 11, 0, 13.8 V; total −1.5 A;
// channel 0 at 32.767 A, channel 11 at −32.768 A.
Bytes power(int battery) {
    return words({1500, 65535, battery, 11000, 0, 13800, -1500, -1, 32767, 0,
                  0,    0,     0,       0,     0, 0,     0,     0,  0,     -32768});
}
Bytes status(uint8_t mode) {
    return {mode, 0xA5, 0x5F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x0E, 0x07, 0xFE};
}
// Temperature: internal 9262, 0, 65535; external `external0`, 32767, −32768, 4.
Bytes temp(int external0) {
    return words({9262, 0, 65535, external0, 32767, -32768, 4});
}

Bytes packet(uint16_t mask, std::initializer_list<Bytes> blocks, std::size_t size = 0) {
    Bytes p = words({mask});
    for (const auto& b : blocks) {
        p.insert(p.end(), b.begin(), b.end());
    }
    p.resize(size != 0 ? size : p.size());
    return p;
}

bool decode(const Bytes& p, DataStreamFeedback& fb) {
    return TelemetryDecoder::decode(std::span<const uint8_t>(p.data(), p.size()), fb);
}

// Each case runs after a packet that set every block to a known state (battery 1 V, mode 1,
// external 1 °C); the packet under test carries other values, so the blocks show which ones
// it converted.
struct WalkCase {
    const char* name;
    Bytes packet;
    bool result, power, status, temp;
};
[[maybe_unused]] void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.name;
}
std::string walkName(const ::testing::TestParamInfo<WalkCase>& p) {
    return p.param.name;
}

const std::array<WalkCase, 10> kWalks{{
    {"PowerStatus59", packet(0x0003, {power(12000), status(2)}), true, true, true, false},
    {"PowerStatus58", packet(0x0003, {power(12000), status(2)}, 58), false, true, false, false},
    {"StatusTemperature", packet(0x0006, {status(2), temp(-40)}), true, false, true, true},
    {"Temperature16", packet(0x0004, {temp(-40)}), true, false, false, true},
    {"Temperature15", packet(0x0004, {temp(-40)}, 15), false, false, false, false},
    {"AllThreeIn64", packet(0x0007, {power(12000), status(2), temp(-40)}, 64), false, true, true,
     false},
    {"ZeroMask", packet(0x0000, {power(12000)}, 64), false, false, false, false},
    {"OnlyHighBits", packet(0xFFF8, {power(12000)}, 64), true, false, false, false},
    {"HighBitsBesideTemperature", packet(0x8004, {temp(-40)}), true, false, false, true},
    {"OneByte", Bytes{0x01}, false, false, false, false},
}};

class BlockWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(BlockWalk, ConvertsExactlyTheBlocksThatFit) {
    DataStreamFeedback fb;
    ASSERT_TRUE(decode(packet(0x0003, {power(1000), status(1)}), fb));
    ASSERT_TRUE(decode(packet(0x0004, {temp(4)}), fb));
    const auto& c = GetParam();
    fb = {};
    EXPECT_EQ(decode(c.packet, fb), c.result);
    EXPECT_EQ(fb.power, c.power ? &TelemetryDecoder::power() : nullptr);
    EXPECT_EQ(fb.status, c.status ? &TelemetryDecoder::status() : nullptr);
    EXPECT_EQ(fb.temp, c.temp ? &TelemetryDecoder::temp() : nullptr);
    EXPECT_FLOAT_EQ(TelemetryDecoder::power().battery, c.power ? 12.0f : 1.0f);
    EXPECT_EQ(TelemetryDecoder::status().mode, c.status ? 2 : 1);
    EXPECT_FLOAT_EQ(TelemetryDecoder::temp().external[0], c.temp ? -10.0f : 1.0f);
}

INSTANTIATE_TEST_SUITE_P(Telemetry, BlockWalk, ::testing::ValuesIn(kWalks), walkName);

TEST(TelemetryDecoder, ConvertsToEngineeringUnits) {
    DataStreamFeedback fb;
    ASSERT_TRUE(decode(packet(0x0003, {power(12345), status(tarn::MODE_MANUAL)}), fb));
    ASSERT_TRUE(decode(packet(0x0004, {temp(-40)}), fb));
    const tarn::PowerF32& p = *fb.power;
    EXPECT_EQ((std::array{p.battery, p.ignition[0], p.ignition[1], p.ignition[2], p.aux1, p.aux2}),
              (std::array{12.345f, 11.0f, 0.0f, 13.8f, 1.5f, 65.535f}));
    EXPECT_FLOAT_EQ(p.total_current, -1.5f);
    EXPECT_FLOAT_EQ(p.current[0], 32.767f);
    EXPECT_FLOAT_EQ(p.current[11], -32.768f);

    const tarn::TempF32& t = *fb.temp;
    EXPECT_NEAR(t.internal[0], -0.002f, 0.0005f); // raw 9262
    EXPECT_FLOAT_EQ(t.internal[1], -67.84f);
    EXPECT_FLOAT_EQ(t.internal[2], 412.16f);
    EXPECT_EQ(t.external, (std::array{-10.0f, 8191.75f, -8192.0f, 1.0f}));

    const tarn::StatusF32& s = *fb.status;
    EXPECT_EQ(std::make_tuple(s.mode, s.aux_state, s.aux_bits), std::make_tuple(1, 0xA5, 2));
    const auto& c0 = s.channel[0]; // 0x5F
    EXPECT_TRUE(c0.bit0 && c0.bit1 && c0.bit2 && c0.bit3);
    EXPECT_EQ(c0.relay_state, tarn::RELAY_OVER_CURRENT);
    EXPECT_EQ(s.channel[11].relay_state, 15); // 0xF0
    EXPECT_FALSE(s.channel[11].bit0 || s.channel[11].bit3);
    EXPECT_EQ(
        (std::array{s.inverter.bit0, s.inverter.on, s.inverter.over_load, s.inverter.over_temp}),
        (std::array{false, true, true, true})); // 0x0E
    EXPECT_EQ((std::array{s.bluetooth.present, s.bluetooth.connected, s.bluetooth.enabled,
                          s.bluetooth.searching}),
              (std::array{true, true, true, false})); // 0x07
}

using StreamPipe = devtest::ConnectedUnit;

TEST_F(StreamPipe, ReadDataStreamReadsOnePacketFromEndpoint2) {
    unit_->queue(0x82, answer(packet(0x0001, {power(13000)})));
    DataStreamFeedback fb;
    ASSERT_TRUE(dev_.readDataStream(fb));
    EXPECT_FLOAT_EQ(fb.power->battery, 13.0f);
    const auto t = bus().transfers();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(std::make_tuple(t[0].endpoint, t[0].length, t[0].timeout),
              std::make_tuple(uint8_t{0x82}, 64, 100u));

    fb = {};
    EXPECT_FALSE(dev_.readDataStream(fb)); // nothing within the timeout
    EXPECT_TRUE(dev_.isOpen());
    unit_->queue(0x82, answer({0x01}));
    EXPECT_FALSE(dev_.readDataStream(fb));
    unit_->queue(0x82, devtest::failWith(LIBUSB_ERROR_NO_DEVICE));
    EXPECT_FALSE(dev_.readDataStream(fb));
    EXPECT_FALSE(dev_.isOpen());
    EXPECT_EQ(fb.power, nullptr);
}

TEST_F(StreamPipe, StreamAndRelayCommandsSendTheirExactBytes) {
    const std::array<std::pair<std::function<bool(tarn::TarnInterface&)>, Bytes>, 6> cases{{
        {[](tarn::TarnInterface& d) { return d.sendDataStreamEnable(); }, {0x00, 0x80}},
        {[](tarn::TarnInterface& d) { return d.sendDataStreamDisable(); }, {0x00, 0x40}},
        {[](tarn::TarnInterface& d) { return d.sendRelayRequestOn(3); }, {1, 0, 3, 1}},
        {[](tarn::TarnInterface& d) { return d.sendRelayRequestOff(0); }, {1, 0, 0, 0}},
        {[](tarn::TarnInterface& d) { return d.sendRelayRequestToggle(12); }, {1, 0, 0x0C, 2}},
        {[](tarn::TarnInterface& d) { return d.sendRelayRequestOn(0x10C); }, {1, 0, 0x0C, 1}},
    }};
    for (const auto& [send, bytes] : cases) {
        bus().clearCalls();
        EXPECT_TRUE(send(dev_));
        unit_->queue(0x02, devtest::shortBy1(static_cast<int>(bytes.size())));
        EXPECT_FALSE(send(dev_)); // a short write fails
        const auto t = bus().transfers();
        ASSERT_EQ(t.size(), 2u); // nothing is read back
        EXPECT_EQ(std::make_tuple(t[0].endpoint, t[0].timeout, t[0].data),
                  std::make_tuple(uint8_t{0x02}, 100u, bytes));
    }
}

} // namespace
