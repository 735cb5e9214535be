#include "ValueText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <system_error>

namespace Corvane {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A separator must not be confused with the other parts of a number, and must be one byte of
// plain ASCII so that the file stays valid UTF-8.
bool usableSeparator(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7F && !isDigit(c) && c != '+' && c != '-' && asciiLower(c) != 'e';
}

struct Separators {
    char decimal = '.';
    std::optional<char> group;
    std::string grouping; // the locale's group sizes, rightmost first
};

Separators separatorsOf(const std::locale& locale) {
    const auto& punct = std::use_facet<std::numpunct<char>>(locale);
    Separators s;
    if (usableSeparator(punct.decimal_point())) {
        s.decimal = punct.decimal_point();
    }
    const std::string grouping = punct.grouping();
    const char group = punct.thousands_sep();
    if (!grouping.empty() && grouping[0] > 0 && usableSeparator(group) && group != s.decimal) {
        s.group = group;
        s.grouping = grouping;
    }
    return s;
}

// Whether the digits and separators of an integer part form the locale's groups: counted from
// the right, every group but the leftmost has exactly its size (three in most locales) and the
// leftmost has one digit up to that size. So "1,130" and "12,345,678" are grouped, while "7,5"
// (a comma-decimal 7.5 read with a point-decimal locale) and "1,2345" are not.
bool properlyGrouped(std::string_view integerPart, char separator, const std::string& grouping) {
    std::size_t groupIndex = 0;
    std::size_t size = static_cast<unsigned char>(grouping[0]);
    while (true) {
        const std::size_t cut = integerPart.rfind(separator);
        const std::string_view group =
            cut == std::string_view::npos ? integerPart : integerPart.substr(cut + 1);
        if (cut == std::string_view::npos) {
            return !group.empty() && group.size() <= size;
        }
        if (group.size() != size) {
            return false;
        }
        integerPart = integerPart.substr(0, cut);
        ++groupIndex;
        if (groupIndex < grouping.size()) {
            const auto next = static_cast<unsigned char>(grouping[groupIndex]);
            if (next == 0 || next >= CHAR_MAX) {
                // No further grouping: what is left must stand without separators.
                return !integerPart.empty() &&
                       integerPart.find(separator) == std::string_view::npos;
            }
            size = next;
        }
    }
}

// For a number that does not fit a double: whether it is too large rather than too small.
// `plain` is [-]digits[.digits][e[sign]digits] with at least one mantissa digit.
bool overflows(std::string_view plain) {
    const std::size_t ePos = plain.find('e');
    const std::string_view mantissa = plain.substr(0, ePos);
    long long exponent = 0; // saturated: only its sign against the mantissa's scale matters
    if (ePos != std::string_view::npos) {
        std::string_view digits = plain.substr(ePos + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            digits.remove_prefix(1);
        }
        for (const char c : digits) {
            exponent = std::min(exponent * 10 + (c - '0'), 1000000000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    // Decimal exponent of the leading non-zero digit of the mantissa.
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    long long lead = 0;
    bool seen = false;
    for (std::size_t i = 0; i < mantissa.size() && !seen; ++i) {
        if (isDigit(mantissa[i]) && mantissa[i] != '0') {
            lead = i < point ? static_cast<long long>(point - i) - 1
                             : -static_cast<long long>(i - point);
            seen = true;
        }
    }
    return seen && lead + exponent > 0;
}

class FixedPunct : public std::numpunct<char> {
public:
    FixedPunct(char decimal, char group)
        : decimal_(decimal)
        , group_(group) {}

protected:
    char do_decimal_point() const override { return decimal_; }
    char do_thousands_sep() const override { return group_; }
    std::string do_grouping() const override { return group_ == '\0' ? "" : "\3"; }

private:
    char decimal_;
    char group_;
};

constexpr std::string_view nanWord = "NaN";
constexpr std::string_view infinityWord = "Infinity";

} // namespace

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool isSpaceChar(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimXmlSpace(std::string_view text) {
    while (!text.empty() && isSpaceChar(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpaceChar(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool isBlank(std::string_view text) {
    return trimXmlSpace(text).empty();
}

const char* flagText(bool value) {
    return value ? "True" : "False";
}

std::optional<bool> parseFlag(std::string_view text) {
    text = trimXmlSpace(text);
    if (equalsIgnoreCase(text, "true")) {
        return true;
    }
    if (equalsIgnoreCase(text, "false")) {
        return false;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> parseUnsigned(std::string_view text, std::uint32_t max) {
    text = trimXmlSpace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max) {
            return std::nullopt;
        }
    }
    if (negative && value != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::locale makeNumberLocale(char decimalPoint, char groupSeparator) {
    // The locale owns the facet and deletes it with its last copy.
    return std::locale(std::locale::classic(), new FixedPunct(decimalPoint, groupSeparator));
}

std::string formatNumber(double value, const std::locale& locale) {
    if (std::isnan(value)) {
        return std::string(nanWord);
    }
    if (std::isinf(value)) {
        std::string text = value < 0 ? "-" : "";
        text += infinityWord;
        return text;
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    const char decimal = separatorsOf(locale).decimal;
    for (char& c : text) {
        if (c == '.') {
            c = decimal;
        } else if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

namespace {

// One left-to-right pass over a number's text that copies what it accepts into the form
// std::from_chars reads ('.' decimals, no groups).
struct NumberScan {
    std::string_view text;
    std::size_t pos = 0;
    std::string plain;
    std::size_t mantissaDigits = 0;

    bool more() const { return pos < text.size(); }
    char peek() const { return text[pos]; }
    void take() { plain += text[pos++]; }
    void takeDigits(std::size_t& count) {
        while (more() && isDigit(peek())) {
            take();
            ++count;
        }
    }

    // The integer part with its group separators, then the fraction; false when the groups are
    // not proper ones.
    bool mantissa(const Separators& seps) {
        const std::size_t integerStart = pos;
        bool grouped = false;
        while (more() && (isDigit(peek()) || (seps.group && peek() == *seps.group))) {
            if (isDigit(peek())) {
                take();
                ++mantissaDigits;
            } else {
                grouped = true;
                ++pos;
            }
        }
        if (grouped && !properlyGrouped(text.substr(integerStart, pos - integerStart), *seps.group,
                                        seps.grouping)) {
            return false;
        }
        if (more() && peek() == seps.decimal) {
            plain += '.';
            ++pos;
            takeDigits(mantissaDigits);
        }
        return mantissaDigits > 0;
    }

    // An optional exponent; false when its letter has no digits after it.
    bool exponent() {
        if (!more() || asciiLower(peek()) != 'e') {
            return true;
        }
        plain += 'e';
        ++pos;
        if (more() && (peek() == '+' || peek() == '-')) {
            take();
        }
        std::size_t exponentDigits = 0;
        takeDigits(exponentDigits);
        return exponentDigits > 0;
    }
};

std::optional<double> plainToDouble(const std::string& plain) {
    double value = 0;
    const char* first = plain.data();
    const char* last = plain.data() + plain.size();
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range && result.ptr == last) {
        // Round as IEEE arithmetic does, so that a number written with 15 digits just beyond
        // the largest double (or below the smallest) still reads back.
        const bool negative = plain.front() == '-';
        const double magnitude = overflows(plain) ? std::numeric_limits<double>::infinity() : 0.0;
        return negative ? -magnitude : magnitude;
    }
    if (result.ec != std::errc{} || result.ptr != last) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<double> parseNumber(std::string_view text, const std::locale& locale) {
    NumberScan scan;
    scan.text = trimXmlSpace(text);
    const Separators seps = separatorsOf(locale);

    if (scan.more() && (scan.peek() == '+' || scan.peek() == '-')) {
        if (scan.peek() == '-') {
            scan.plain += '-';
        }
        ++scan.pos;
    }
    const std::string_view unsignedPart = scan.text.substr(scan.pos);
    if (equalsIgnoreCase(unsignedPart, nanWord)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (equalsIgnoreCase(unsignedPart, infinityWord)) {
        const double inf = std::numeric_limits<double>::infinity();
        return scan.plain.empty() ? inf : -inf;
    }
    if (!scan.mantissa(seps) || !scan.exponent() || scan.more()) {
        return std::nullopt;
    }
    return plainToDouble(scan.plain);
}

} // namespace Corvane
