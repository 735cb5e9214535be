#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Corvane {

// An IPv4 address as its four octets, first octet = leftmost in dotted form.
struct Ipv4Address {
    std::array<std::uint8_t, 4> octets{};

    // The unit packs an address little-endian: the first octet is the least significant byte,
    // so 192.168.1.10 travels as 0x0A01A8C0.
    static Ipv4Address fromDeviceValue(std::uint32_t value);
    std::uint32_t toDeviceValue() const;

    std::string toString() const;

    // Accepts exactly four decimal parts 0 to 255, each without leading zeros (so "010" is not
    // silently read as either 8 or 10), with surrounding white space ignored. Anything else,
    // including shortened or hexadecimal forms, gives no address.
    static std::optional<Ipv4Address> parse(std::string_view text);

    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

} // namespace Corvane
