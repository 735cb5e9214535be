#pragma once

#include "Packets.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The mode PIN as the unit holds it: one 32-bit value whose four bytes are the four decimal
// digits' values, the leftmost digit in the lowest byte (1234 is 0x04030201). A value with any
// byte above 9 means that no PIN is set; the console removes a PIN by sending all ones.
namespace Corvane::mapping {

inline constexpr std::uint32_t kNoPin = tarn::ConfigPacket::mode_password::kNoPin;
// What the window fills in when the PIN is switched on with none typed.
inline constexpr unsigned kDefaultPin = 2719;

// The code for a number 0 to 9999, as four digits with leading zeros.
std::uint32_t pinCode(unsigned number);
// The number a code holds; none when some byte is above 9.
std::optional<unsigned> pinNumber(std::uint32_t code);

// Four digits with leading zeros: 42 is "0042".
std::string pinDigits(unsigned number);
// The code's four digits; none when it holds no PIN.
std::optional<std::string> pinText(std::uint32_t code);

// A PIN text as a number 0 to 9999: decimal digits only (leading zeros allowed), with
// surrounding XML white space (space, tab, line ends); none for anything else.
std::optional<unsigned> parsePin(std::string_view text);

} // namespace Corvane::mapping
