#include "PinCode.h"

#include "ValueText.h"

#include <algorithm>

namespace Corvane::mapping {
namespace {

constexpr unsigned kPinDigits = 4;
constexpr unsigned kMaxPin = 9999;

} // namespace

std::uint32_t pinCode(unsigned number) {
    std::uint32_t code = 0;
    for (unsigned i = 0; i < kPinDigits; ++i) { // the rightmost digit goes to the top byte
        code |= static_cast<std::uint32_t>(number % 10) << (8 * (kPinDigits - 1 - i));
        number /= 10;
    }
    return code;
}

std::optional<unsigned> pinNumber(std::uint32_t code) {
    unsigned number = 0;
    for (unsigned i = 0; i < kPinDigits; ++i) {
        const unsigned digit = (code >> (8 * i)) & 0xFFu;
        if (digit > 9) {
            return std::nullopt;
        }
        number = number * 10 + digit;
    }
    return number;
}

std::string pinDigits(unsigned number) {
    const std::string digits = std::to_string(number);
    return digits.size() >= kPinDigits ? digits
                                       : std::string(kPinDigits - digits.size(), '0') + digits;
}

std::optional<std::string> pinText(std::uint32_t code) {
    const std::optional<unsigned> number = pinNumber(code);
    if (!number) {
        return std::nullopt;
    }
    return pinDigits(*number);
}

std::optional<unsigned> parsePin(std::string_view text) {
    const std::string_view digits = trimXmlSpace(text);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char d) { return d >= '0' && d <= '9'; })) {
        return std::nullopt;
    }
    unsigned number = 0;
    for (const char d : digits) {
        number = number * 10 + static_cast<unsigned>(d - '0');
        if (number > kMaxPin) {
            return std::nullopt; // leading zeros never get here, so any length is fine
        }
    }
    return number;
}

} // namespace Corvane::mapping
