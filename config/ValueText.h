#pragma once

#include <cstdint>
#include <locale>
#include <optional>
#include <string>
#include <string_view>

// Text forms of the configuration file's values. White space here means the ASCII set
// tab, line feed, vertical tab, form feed, carriage return and space.
namespace Corvane {

bool isSpaceChar(char c);
std::string_view trimXmlSpace(std::string_view text);
bool isBlank(std::string_view text);
// ASCII letters compared without regard to case; every other byte must match exactly.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

const char* flagText(bool value);
// Case-insensitive "true" or "false", surrounding white space ignored.
std::optional<bool> parseFlag(std::string_view text);

// Plain decimal 0 to max, surrounding white space and a leading sign allowed ("-0" is 0).
std::optional<std::uint32_t> parseUnsigned(std::string_view text, std::uint32_t max);

// A locale whose numbers use these separators, in groups of three digits; a group separator of
// '\0' means numbers are not grouped. This is how a caller with separators of its own (the
// window's locale) hands them to TarnConfig.
std::locale makeNumberLocale(char decimalPoint, char groupSeparator);

// General format, up to 15 significant digits, never grouped, with the locale's decimal
// separator: 7.5, 30, 1130, 1E+15, 1E-05. Not-a-number and infinities are written as words that
// parseNumber takes back, so no value is lost in a round trip.
std::string formatNumber(double value, const std::locale& locale);

// The locale's decimal separator; its group separator is accepted in the integer part only in
// the locale's proper groups (1,130.25 and 12,345,678 with groups of three), and only when the
// locale groups at all (the classic locale does not), so that a number written with the other
// convention's separators ("7,5" read with a point-decimal locale, "7.5" with a comma-decimal
// one) does not parse rather than change its scale. An optional sign and an exponent are
// allowed; values beyond the range of a double become infinity or zero.
std::optional<double> parseNumber(std::string_view text, const std::locale& locale);

} // namespace Corvane
