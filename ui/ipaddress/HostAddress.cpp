#include "HostAddress.h"

#include <QStringList>

#include <algorithm>

namespace MarlinIPAddressControlLib {

HostAddress HostAddress::FromIPv4(const std::array<std::uint8_t, 4>& bytes) {
    HostAddress address;
    address._family = Family::IPv4;
    std::copy(bytes.begin(), bytes.end(), address._bytes.begin());
    return address;
}

HostAddress HostAddress::FromIPv6(const std::array<std::uint8_t, 16>& bytes) {
    HostAddress address;
    address._family = Family::IPv6;
    address._bytes = bytes;
    return address;
}

std::span<const std::uint8_t> HostAddress::GetAddressBytes() const {
    return std::span<const std::uint8_t>(_bytes.data(), IsIPv4() ? 4U : 16U);
}

QString HostAddress::ToString() const {
    if (IsIPv4()) {
        return QStringLiteral("%1.%2.%3.%4")
            .arg(_bytes[0])
            .arg(_bytes[1])
            .arg(_bytes[2])
            .arg(_bytes[3]);
    }

    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < groups.size(); ++i) {
        groups[i] = (unsigned{_bytes[2 * i]} << 8U) | unsigned{_bytes[2 * i + 1]};
    }

    // The first longest run of zero groups wins; a single zero group is written out.
    int bestStart = -1;
    int bestLength = 0;
    for (int i = 0; i < 8;) {
        if (groups[static_cast<std::size_t>(i)] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && groups[static_cast<std::size_t>(j)] == 0) {
            ++j;
        }
        if (j - i > bestLength && j - i >= 2) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j;
    }

    auto hexGroups = [&groups](int from, int to) {
        QStringList parts;
        for (int i = from; i < to; ++i) {
            parts << QString::number(groups[static_cast<std::size_t>(i)], 16);
        }
        return parts.join(QLatin1Char(':'));
    };

    if (bestStart < 0) {
        return hexGroups(0, 8);
    }
    return hexGroups(0, bestStart) + QStringLiteral("::") + hexGroups(bestStart + bestLength, 8);
}

} // namespace MarlinIPAddressControlLib
