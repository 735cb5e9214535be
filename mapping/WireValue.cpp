#include "WireValue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Corvane::mapping {

std::optional<std::int32_t> wireSteps(double value, double step) {
    const double quotient = value / step;
    if (std::isnan(quotient)) {
        return std::nullopt;
    }
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (quotient >= kMax) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (quotient <= kMin) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(quotient);
}

std::int32_t stepsOf(double readBack, double step) {
    const double steps = std::round(readBack / step);
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (std::isnan(steps)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::clamp(steps, kMin, kMax));
}

double shortestValueFor(std::int32_t steps, double step) {
    // The values sent as `steps` run from steps × step up to (not including) the next step,
    // away from zero. The first number with few decimals at or above the start of that range
    // is in it as soon as the decimals are finer than a step; rounding is tried as well, in case
    // the start itself lies a hair above such a number.
    const double magnitude = std::abs(static_cast<double>(steps)) * step;
    const double sign = steps < 0 ? -1.0 : 1.0;
    double scale = 1.0;
    for (int decimals = 0; decimals <= 12; ++decimals, scale *= 10.0) {
        for (const double digits : {std::round(magnitude * scale), std::ceil(magnitude * scale)}) {
            const double candidate = sign * digits / scale;
            if (wireSteps(candidate, step) == steps) {
                return candidate;
            }
        }
    }
    return sign * (magnitude + step / 2);
}

} // namespace Corvane::mapping
