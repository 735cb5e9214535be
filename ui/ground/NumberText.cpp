#include "NumberText.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace Corvane {
namespace {

// Whether a formatted number shows any digit but zero, in whatever digits the locale writes.
bool showsNonZeroDigit(const QString& text) {
    for (const QChar c : text) {
        if (c.digitValue() > 0) {
            return true;
        }
    }
    return false;
}

QString nonFinite(double value) {
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
}

// Prefixes the locale's minus sign to a formatted magnitude, unless it rounded to zero: a
// current of -0.001 A shows as 0.00, not -0.00.
QString withSign(bool negative, const QString& magnitude, const QLocale& locale) {
    return negative && showsNonZeroDigit(magnitude) ? locale.negativeSign() + magnitude : magnitude;
}

// Reads a typed number into the form std::from_chars takes. `pos` walks `text`.
class Scanner {
public:
    Scanner(QStringView text, const QLocale& locale)
        : text_(text)
        , decimal_(locale.decimalPoint())
        , group_(locale.groupSeparator())
        , minus_(locale.negativeSign())
        , plus_(locale.positiveSign())
        , exponent_(locale.exponential()) {}

    std::optional<std::string> scan() {
        if (take(minus_) || take(u"-") || take(u"\u2212")) {
            plain_ += '-';
        } else if (!take(plus_)) {
            take(u"+");
        }
        const int integerDigits = integerPart();
        if (integerDigits < 0) {
            return std::nullopt;
        }
        int fractionDigits = 0;
        if (take(decimal_)) {
            plain_ += '.';
            fractionDigits = digits();
        }
        if (integerDigits + fractionDigits == 0 || !exponentPart() || pos_ != text_.size()) {
            return std::nullopt;
        }
        return plain_;
    }

private:
    bool take(QStringView token) {
        if (!token.isEmpty() && text_.sliced(pos_).startsWith(token, Qt::CaseInsensitive)) {
            pos_ += token.size();
            return true;
        }
        return false;
    }

    int digitAt(qsizetype at) const {
        return at < text_.size() && text_[at].isDigit() ? text_[at].digitValue() : -1;
    }

    int digits() {
        int count = 0;
        for (int d = digitAt(pos_); d >= 0; d = digitAt(pos_)) {
            plain_ += static_cast<char>('0' + d);
            ++pos_;
            ++count;
        }
        return count;
    }

    // A group separator, or for a locale that groups with a kind of space, any of those spaces.
    bool takeGroup() {
        if (take(group_)) {
            return true;
        }
        if (group_.size() == 1 && group_[0].isSpace()) {
            return take(u" ") || take(u"\u00A0") || take(u"\u202F");
        }
        return false;
    }

    // The integer part's digit count, or -1 for separators outside proper groups of three.
    int integerPart() {
        const qsizetype start = pos_;
        int count = digits();
        const bool leadingZero = count > 0 && text_[start].digitValue() == 0;
        const qsizetype beforeGroup = pos_;
        if (!takeGroup()) {
            return count;
        }
        if (count == 0 || count > 3 || leadingZero) {
            return -1;
        }
        pos_ = beforeGroup;
        while (takeGroup()) {
            const int group = digits();
            if (group != 3) {
                return -1;
            }
            count += group;
        }
        return count;
    }

    bool exponentPart() {
        if (!take(exponent_) && !take(u"e")) {
            return true;
        }
        plain_ += 'e';
        if (take(minus_) || take(u"-") || take(u"\u2212")) {
            plain_ += '-';
        } else if (!take(plus_)) {
            take(u"+");
        }
        return digits() > 0;
    }

    QStringView text_;
    QString decimal_;
    QString group_;
    QString minus_;
    QString plus_;
    QString exponent_;
    qsizetype pos_ = 0;
    std::string plain_;
};

// For a number beyond the range of a double, whether it is too large (rather than too small to
// tell from zero): the decimal position of its leading digit plus its exponent.
bool tooLarge(const std::string& plain) {
    const std::size_t e = plain.find('e');
    long long exponent = 0;
    if (e != std::string::npos) {
        const bool negative = plain[e + 1] == '-';
        for (std::size_t i = e + (negative ? 2 : 1); i < plain.size(); ++i) {
            exponent = std::min(exponent * 10 + (plain[i] - '0'), 1000000000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    const std::string mantissa = plain.substr(0, e);
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string::npos) {
        return false;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const long long lead = first < point ? static_cast<long long>(point - first)
                                         : -static_cast<long long>(first - point) + 1;
    return lead + exponent > 0;
}

} // namespace

QString NumberText::fixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return withSign(std::signbit(value), locale.toString(std::fabs(value), 'f', decimals), locale);
}

QString NumberText::n2(double value) {
    return fixed(value, 2);
}

QString NumberText::n1(double value) {
    return fixed(value, 1);
}

QString NumberText::upToOneDecimal(double value) {
    if (!std::isfinite(value)) {
        return {};
    }
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    const QString rounded = locale.toString(std::fabs(value), 'f', 1);
    const QString point = locale.decimalPoint();
    const qsizetype at = rounded.lastIndexOf(point);
    QString integer = at < 0 ? rounded : rounded.left(at);
    const QString fraction = at < 0 ? QString() : rounded.sliced(at + point.size());
    if (!showsNonZeroDigit(integer)) {
        integer.clear();
    }
    const QString magnitude = showsNonZeroDigit(fraction) ? integer + point + fraction : integer;
    return withSign(std::signbit(value), magnitude, locale);
}

std::optional<double> NumberText::parse(QStringView text) {
    const QLocale locale;
    const std::optional<std::string> plain = Scanner(text.trimmed(), locale).scan();
    if (!plain) {
        return std::nullopt;
    }
    double value = 0;
    const char* last = plain->data() + plain->size();
    const auto result = std::from_chars(plain->data(), last, value);
    if (result.ptr != last) {
        return std::nullopt;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double: too large is no number to work with, too small reads as zero.
        if (tooLarge(*plain)) {
            return std::nullopt;
        }
        return plain->front() == '-' ? -0.0 : 0.0;
    }
    if (result.ec != std::errc{} || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace Corvane
