#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace Corvane {

// Where a chart's ticks go and how their labels read, in the user's locale (QLocale()).
class AxisTicks {
public:
    using Millis = std::int64_t;

    // A value axis from `low` to `high` in steps of 1, 2, 2.5 or 5 times a power of ten, both
    // ends multiples of the step, covering the data with at most about `maxTicks` steps; data
    // may pass an end by up to kOvershoot of its range.
    struct Scale {
        double low;
        double high;
        double step;
        int decimals; // what the step needs to show
    };
    static constexpr double kOvershoot = 0.01;
    static Scale valueScale(double dataMin, double dataMax, int maxTicks);
    static std::vector<double> valueTicks(const Scale& scale);
    static QString valueLabel(double value, int decimals);

    // The smallest of the usual clock steps (1 s to 2 h) that leaves `labelWidth` pixels per
    // label on a `width`-pixel axis spanning `span` milliseconds.
    static Millis timeStep(Millis span, int width, int labelWidth);
    // The multiples of `step` in local time within [from, to].
    static std::vector<Millis> timeTicks(Millis from, Millis to, Millis step);
    // A tick's local time of day; with seconds for steps under a minute.
    static QString timeLabel(Millis time, bool seconds);
    // The cursor's local time of day, to the millisecond.
    static QString cursorTimeLabel(Millis time);
};

} // namespace Corvane
