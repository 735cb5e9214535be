#pragma once

#include "Ipv4Address.h"

#include <cstdint>
#include <optional>

namespace Corvane {

// Network settings of the unit; every field may be absent.
struct IPSettings {
    std::optional<Ipv4Address> address;
    std::optional<Ipv4Address> subnet;
    std::optional<Ipv4Address> gateway;
    std::optional<Ipv4Address> dns1;
    std::optional<Ipv4Address> dns2;
    std::optional<Ipv4Address> lcmAddress;
    std::optional<std::uint16_t> lcmPort;
    std::optional<bool> dhcp;

    friend bool operator==(const IPSettings&, const IPSettings&) = default;
};

} // namespace Corvane
