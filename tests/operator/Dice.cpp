#include "Dice.h"

#include <array>

namespace monkey {
namespace {

// Pieces of typing: plain words and digits, what a locale uses as separators, characters of
// the unit's code page outside ASCII, characters outside it, spaces and markup-like text.
constexpr std::array<const char16_t*, 16> kFragments{
    u"Pump",   u"1234",   u"7.5",  u"12,5",  u" ",     u"-3",   u"\u00e9t\u00e9", u"\u20ac",
    u"\u03a9", u"\u4e2d", u"<b>x", u"&amp;", u"1e308", u"0000", u"\u00a0",        u"on 1 "};

constexpr std::array<char16_t, 14> kDigitsAndSigns{u'0', u'1', u'2', u'3', u'4', u'5', u'7',
                                                   u'9', u'.', u',', u'-', u'+', u'e', u' '};

} // namespace

QString Dice::text() {
    QString out;
    const int pieces = oneIn(12) ? 30 : between(0, 4);
    for (int i = 0; i < pieces; ++i) {
        out += QString::fromUtf16(pick(std::span<const char16_t* const>(kFragments)));
    }
    return out;
}

QString Dice::number() {
    if (oneIn(6)) {
        return text();
    }
    QString out;
    const int length = between(0, 6);
    for (int i = 0; i < length; ++i) {
        // Digits four times out of five.
        out += oneIn(5) ? pick(std::span<const char16_t>(kDigitsAndSigns))
                        : QChar(u'0' + static_cast<char16_t>(below(10)));
    }
    return out;
}

} // namespace monkey
