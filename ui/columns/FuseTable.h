#pragma once

#include "NamedColors.h"

#include <QString>

namespace Corvane {

// The fuse values a channel row works with: the colour code of the standard ratings, the I²t
// that goes with each, and the ranges the unit's fields can carry.
class FuseTable {
public:
    static constexpr double kMinRating = 1.0;
    static constexpr double kMaxRating = 30.0;
    // The unit carries the I²t as a signed 32-bit count of tarn::kI2tStep A²s.
    static const double kMaxI2t;

    struct Colors {
        NamedColor background;
        NamedColor text;
    };

    // The colours of the first standard rating within 0.1 A, tried in the order 1, 2, 3, 4, 5,
    // 7.5, 10, 15, 20, 25, 30; white with black text for any other rating, NaN included.
    static Colors colorsFor(double rating);

    // The I²t text that goes with a rating, in the user's locale: the table value of a
    // standard rating (1 or less and 30 or more included), otherwise the rating squared with as
    // many decimals as it needs.
    static QString i2tTextFor(double rating);

    static double clampRating(double rating);
    // Held to what the unit's field carries, 0 to kMaxI2t.
    static double clampI2t(double i2t);
};

} // namespace Corvane
