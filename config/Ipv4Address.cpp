#include "Ipv4Address.h"

#include "ValueText.h"

namespace Corvane {

Ipv4Address Ipv4Address::fromDeviceValue(std::uint32_t value) {
    Ipv4Address a;
    for (std::size_t i = 0; i < 4; ++i) {
        a.octets[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
    }
    return a;
}

std::uint32_t Ipv4Address::toDeviceValue() const {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(octets[i]) << (8 * i);
    }
    return value;
}

std::string Ipv4Address::toString() const {
    std::string s;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i != 0) {
            s += '.';
        }
        s += std::to_string(octets[i]);
    }
    return s;
}

std::optional<Ipv4Address> Ipv4Address::parse(std::string_view text) {
    text = trimXmlSpace(text);
    Ipv4Address a;
    std::size_t pos = 0;
    for (std::size_t part = 0; part < 4; ++part) {
        if (part != 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        const std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        const std::size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        a.octets[part] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return a;
}

} // namespace Corvane
