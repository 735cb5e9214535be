#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace Corvane {

// The window's numbers, shown and typed in the user's locale (QLocale(), the system locale unless
// another default is set). What the formats write, parse reads back: the same decimal point,
// group separator and signs in both directions.
class NumberText {
public:
    // "{0:N2}", and "{0,1:N2}" whose width of one pads nothing: two decimals, grouped (1,130.00).
    static QString n2(double value);
    // "{0,0:N1}": one decimal, grouped (1,130.0).
    static QString n1(double value);
    // "{0,0:#.#}": at most one decimal and no trailing zero, ungrouped, no leading zero: 7.5, 10,
    // .5, and an empty text for anything that rounds to zero.
    static QString upToOneDecimal(double value);

    // A number as typed: surrounding white space, a sign, the locale's decimal point and an
    // exponent are allowed. Group separators are accepted only where a grouped number has them,
    // in the integer part between groups of three digits after a first group of one to three
    // ("1,130.0", "12,345,678"), so a decimal comma typed under a point-decimal locale ("7,5") is
    // refused rather than read as 75. Only finite numbers parse.
    static std::optional<double> parse(QStringView text);

private:
    static QString fixed(double value, int decimals);
};

} // namespace Corvane
