#include "FuseTable.h"

#include "Packets.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace Corvane {
namespace {

struct ColorRow {
    double rating;
    FuseTable::Colors colors;
};

constexpr std::array<ColorRow, 11> kColorCode{{
    {1, {NamedColor::Black, NamedColor::White}},
    {2, {NamedColor::Gray, NamedColor::Black}},
    {3, {NamedColor::Purple, NamedColor::White}},
    {4, {NamedColor::Pink, NamedColor::Black}},
    {5, {NamedColor::Orange, NamedColor::Black}},
    {7.5, {NamedColor::Brown, NamedColor::White}},
    {10, {NamedColor::Red, NamedColor::White}},
    {15, {NamedColor::Blue, NamedColor::White}},
    {20, {NamedColor::Yellow, NamedColor::Black}},
    {25, {NamedColor::White, NamedColor::Black}},
    {30, {NamedColor::Green, NamedColor::Black}},
}};

struct I2tRow {
    double rating;
    double i2t;
    int decimals;
};

// Between the ends, exact ratings only; 1 or less and 30 or more take the ends' values.
constexpr std::array<I2tRow, 9> kI2tTable{{
    {2, 2.8, 1},
    {3, 9.4, 1},
    {4, 17, 0},
    {5, 25, 0},
    {7.5, 68, 0},
    {10, 93, 0},
    {15, 270, 0},
    {20, 380, 0},
    {25, 625, 0},
}};

QString inLocale(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

} // namespace

const double FuseTable::kMaxI2t = std::numeric_limits<std::int32_t>::max() * tarn::kI2tStep;

FuseTable::Colors FuseTable::colorsFor(double rating) {
    for (const ColorRow& row : kColorCode) {
        if (std::fabs(rating - row.rating) <= 0.1) {
            return row.colors;
        }
    }
    return {NamedColor::White, NamedColor::Black};
}

QString FuseTable::i2tTextFor(double rating) {
    if (rating <= kMinRating) {
        return inLocale(1.0, 1);
    }
    for (const I2tRow& row : kI2tTable) {
        if (rating == row.rating) {
            return inLocale(row.i2t, row.decimals);
        }
    }
    if (rating >= kMaxRating) {
        return inLocale(1130, 0);
    }
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(rating * rating, 'f', QLocale::FloatingPointShortest);
}

double FuseTable::clampRating(double rating) {
    return std::clamp(rating, kMinRating, kMaxRating);
}

double FuseTable::clampI2t(double i2t) {
    return std::clamp(i2t, 0.0, kMaxI2t);
}

} // namespace Corvane
