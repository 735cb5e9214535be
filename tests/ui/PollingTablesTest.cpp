#include "PollingTestSupport.h"

#include "NamedColors.h"
#include "RelayChannel.h"

#include <QLabel>
#include <QLineEdit>

#include <optional>

namespace uitest {
namespace {

using Corvane::DisplayRefresh;
using Corvane::NamedColor;
using Corvane::NamedColors;

struct Look {
    const char* text;
    std::optional<NamedColor> background; // unset: the colours shown before stay
    std::optional<NamedColor> foreground;
};

void expectLook(const QLineEdit& box, const Look& look, NamedColor backgroundBefore,
                NamedColor foregroundBefore) {
    EXPECT_EQ(box.text(), look.text);
    EXPECT_EQ(DisplayRefresh::background(box),
              NamedColors::color(look.background.value_or(backgroundBefore)));
    EXPECT_EQ(DisplayRefresh::foreground(box),
              NamedColors::color(look.foreground.value_or(foregroundBefore)));
}

struct RelayCase {
    std::uint8_t code;
    Look look;
};

class RelayStates : public PollingTest, public ::testing::WithParamInterface<RelayCase> {};

TEST_P(RelayStates, ShowTheirTextAndColours) {
    tick();
    StatusBytes status;
    status.relay.fill(tarn::RELAY_BAD_RELAY); // red on white before
    queueStream(statusPacket(status));
    tick();
    status.relay.fill(GetParam().code);
    status.relay.at(0) = tarn::RELAY_ON; // each row shows its own channel
    queueStream(statusPacket(status));
    tick();
    expectLook(*window().channels().at(0)->txtBoxRelayStatus,
               {"ON", NamedColor::Green, NamedColor::White}, NamedColor::Red, NamedColor::White);
    for (std::size_t row = 1; row < 12; ++row) {
        SCOPED_TRACE(row);
        expectLook(*window().channels().at(row)->txtBoxRelayStatus, GetParam().look,
                   NamedColor::Red, NamedColor::White);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PollingTest, RelayStates,
    ::testing::Values(RelayCase{0, {"OFF", NamedColor::White, NamedColor::Black}},
                      RelayCase{1, {"ON", NamedColor::Green, NamedColor::White}},
                      RelayCase{2, {"NO LOAD", NamedColor::Green, NamedColor::White}},
                      RelayCase{3, {"BAD RELAY", NamedColor::Red, NamedColor::White}},
                      RelayCase{4, {"BAD FUSE", NamedColor::Red, NamedColor::White}},
                      RelayCase{5, {"OVER CURRENT", NamedColor::Red, NamedColor::White}},
                      RelayCase{6, {"UNKNOWN", std::nullopt, std::nullopt}},
                      RelayCase{15, {"UNKNOWN", std::nullopt, std::nullopt}}));

struct InverterCase {
    std::uint8_t bits;
    Look look;
};

class InverterStates : public PollingTest, public ::testing::WithParamInterface<InverterCase> {};

TEST_P(InverterStates, ShowTheFirstMatchingLine) {
    tick();
    StatusBytes status;
    status.inverter = GetParam().bits;
    queueStream(statusPacket(status));
    tick();
    expectLook(*window().inverterChannel().txtBoxRelayStatus, GetParam().look, NamedColor::White,
               NamedColor::Black);
}

INSTANTIATE_TEST_SUITE_P(
    PollingTest, InverterStates,
    ::testing::Values(InverterCase{0x00, {"OFF", NamedColor::White, NamedColor::Black}},
                      InverterCase{0x01, {"OFF", NamedColor::White, NamedColor::Black}},
                      InverterCase{0x02, {"ON", NamedColor::Green, NamedColor::White}},
                      InverterCase{0x0A, {"OVER TEMP", NamedColor::Red, NamedColor::White}},
                      InverterCase{0x0E, {"OVER LOAD", NamedColor::Red, NamedColor::White}},
                      InverterCase{0x04, {"OVER LOAD", NamedColor::Red, NamedColor::White}}));

struct BluetoothCase {
    std::uint8_t bits; // present, connected, enabled, searching from bit 0
    const char* text;
};

class BluetoothStates : public PollingTest, public ::testing::WithParamInterface<BluetoothCase> {};

TEST_P(BluetoothStates, ShowTheFirstMatchingLine) {
    tick();
    StatusBytes status;
    status.bluetooth = GetParam().bits;
    queueStream(statusPacket(status));
    tick();
    EXPECT_EQ(named<QLabel>("labelBluetoothValue")->text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    PollingTest, BluetoothStates,
    ::testing::Values(BluetoothCase{0x0F, "Searching..."}, BluetoothCase{0x08, "Searching..."},
                      BluetoothCase{0x06, "Removed"}, BluetoothCase{0x03, "Disabled"},
                      BluetoothCase{0x05, "Disconnected"}, BluetoothCase{0x07, "Connected"}));

} // namespace
} // namespace uitest
