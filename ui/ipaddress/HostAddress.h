#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <span>

namespace MarlinIPAddressControlLib {

// An IPv4 or IPv6 host address as a plain value. The control itself only ever holds IPv4, but
// callers may hand it any address, and an IPv6 one must be recognisable so that it can be
// refused. Kept inside this library so the control needs nothing beyond Qt Widgets.
class HostAddress {
public:
    enum class Family { IPv4, IPv6 };

    // 0.0.0.0
    HostAddress() = default;

    static HostAddress FromIPv4(const std::array<std::uint8_t, 4>& bytes);
    static HostAddress FromIPv6(const std::array<std::uint8_t, 16>& bytes);

    Family AddressFamily() const { return _family; }
    bool IsIPv4() const { return _family == Family::IPv4; }

    // Network order: 4 bytes for IPv4, 16 for IPv6.
    std::span<const std::uint8_t> GetAddressBytes() const;

    // Dotted decimal for IPv4; for IPv6 lower-case hex groups with the longest run of two or
    // more zero groups shortened to "::".
    QString ToString() const;

    friend bool operator==(const HostAddress&, const HostAddress&) = default;

private:
    Family _family = Family::IPv4;
    std::array<std::uint8_t, 16> _bytes{};
};

} // namespace MarlinIPAddressControlLib
