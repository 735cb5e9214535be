#include "TarnConfig.h"

#include <gtest/gtest.h>

#include <utility>

using namespace Corvane;

TEST(ConfigModel, NewObjectHasNothingAndAbsentGettersThrow) {
    const TarnConfig c;
    EXPECT_FALSE(c.modeHasValue() || c.idHasValue() || c.pinHasValue() || c.pinEnabledHasValue() ||
                 c.bluetoothEnabledHasValue() || c.ipHasValue() || c.switchBoardHasValue() ||
                 c.startupScriptHasValue() || c.shutdownScriptHasValue() ||
                 c.valetStartupScriptHasValue() || c.valetShutdownScriptHasValue() ||
                 c.channelHasValue());
    EXPECT_THROW((void)c.getMode(), std::bad_optional_access);
    EXPECT_THROW((void)c.getIP(), std::bad_optional_access);
    EXPECT_FALSE(c.getChannel(0).has_value());
    EXPECT_FALSE(c.channelHasValue(0));
}

TEST(ConfigModel, SetChannelKeepsTheFirstRecordPerIndex) {
    TarnConfig c;
    c.setChannel(4, {4, "first", 10.0, {}, {}, {}});
    c.setChannel(4, {4, "second", 20.0, {}, {}, {}});
    c.setChannel(2, {2, "other", {}, {}, {}, {}});
    ASSERT_TRUE(c.channelHasValue(4));
    EXPECT_EQ(c.getChannel(4)->name, "first");
    EXPECT_EQ(c.getChannel(4)->fuse, 10.0);
    EXPECT_EQ(c.getChannels().size(), 2u);
    EXPECT_FALSE(c.channelHasValue(3));
    EXPECT_FALSE(c.channelHasValue(4 + 256)); // no wrap into the 8-bit index
}

TEST(ConfigModel, ModeAndIdTexts) {
    const std::pair<int, const char*> modes[] = {{0, "Auto"}, {1, "Manual"}, {2, "Valet"},
                                                 {3, ""},     {-1, ""},      {99, ""}};
    for (const auto& [value, text] : modes) {
        EXPECT_EQ(getModeString(value), text) << value;
    }
    const std::pair<int, const char*> ids[] = {{0, "Master"},  {1, "Slave 1"}, {2, "Slave 2"},
                                               {3, "Slave 3"}, {4, ""},        {-1, ""}};
    for (const auto& [value, text] : ids) {
        EXPECT_EQ(getIdString(value), text) << value;
    }
}

TEST(ConfigIpv4Address, DeviceValuePutsTheFirstOctetLowest) {
    const std::pair<Ipv4Address, std::uint32_t> cases[] = {
        {Ipv4Address{{192, 168, 1, 10}}, 0x0A01A8C0u},
        {Ipv4Address{{10, 1, 2, 3}}, 0x0302010Au},
        {Ipv4Address{{255, 0, 0, 1}}, 0x010000FFu},
    };
    for (const auto& [address, value] : cases) {
        EXPECT_EQ(address.toDeviceValue(), value) << address.toString();
        EXPECT_EQ(Ipv4Address::fromDeviceValue(value), address) << address.toString();
    }
}

TEST(ConfigIpv4Address, ParseTakesOnlyFourDecimalOctets) {
    const std::pair<const char*, std::optional<Ipv4Address>> cases[] = {
        {"192.168.1.10", Ipv4Address{{192, 168, 1, 10}}},
        {"0.0.0.0", Ipv4Address{{0, 0, 0, 0}}},
        {" 255.255.255.255\n", Ipv4Address{{255, 255, 255, 255}}},
        {"300.1.1.1", std::nullopt},
        {"1.1.1.256", std::nullopt},
        {"1.1.1", std::nullopt},
        {"1.1.1.1.1", std::nullopt},
        {"1.1.1.", std::nullopt},
        {"010.1.1.1", std::nullopt},
        {"0x7f.0.0.1", std::nullopt},
        {"1.1.1.1a", std::nullopt},
        {"1..1.1", std::nullopt},
        {"-1.1.1.1", std::nullopt},
        {"1.1.1.1000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Ipv4Address::parse(text), expected) << text;
    }
}
