#include "HostAddress.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

using MarlinIPAddressControlLib::HostAddress;

namespace {

std::array<std::uint8_t, 16> V6(std::initializer_list<unsigned> groups) {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t i = 0;
    for (unsigned g : groups) {
        bytes[i++] = static_cast<std::uint8_t>(g >> 8U);
        bytes[i++] = static_cast<std::uint8_t>(g & 0xFFU);
    }
    return bytes;
}

TEST(HostAddress, FormsAndFamilies) {
    const HostAddress v4 = HostAddress::FromIPv4({192, 168, 1, 10});
    EXPECT_TRUE(v4.IsIPv4());
    EXPECT_EQ(v4.ToString(), QStringLiteral("192.168.1.10"));
    EXPECT_EQ(v4.GetAddressBytes().size(), 4U);
    EXPECT_EQ(HostAddress().ToString(), QStringLiteral("0.0.0.0"));

    const struct {
        std::array<std::uint8_t, 16> bytes;
        const char* text;
    } cases[] = {
        {V6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), "2001:db8::1"},
        {V6({0, 0, 0, 0, 0, 0, 0, 0}), "::"},
        {V6({0, 0, 0, 0, 0, 0, 0, 1}), "::1"},
        {V6({1, 0, 2, 0, 0, 3, 0, 0}), "1:0:2::3:0:0"},
        {V6({1, 2, 3, 4, 5, 6, 7, 0}), "1:2:3:4:5:6:7:0"},
        {V6({0xfe80, 0, 0, 0, 0xabcd, 0, 0, 0}), "fe80::abcd:0:0:0"},
    };
    for (const auto& c : cases) {
        const HostAddress v6 = HostAddress::FromIPv6(c.bytes);
        EXPECT_FALSE(v6.IsIPv4());
        EXPECT_EQ(v6.GetAddressBytes().size(), 16U);
        EXPECT_EQ(v6.ToString(), QString::fromLatin1(c.text));
    }
    EXPECT_NE(HostAddress::FromIPv4({0, 0, 0, 0}), HostAddress::FromIPv6({}));
}

} // namespace
