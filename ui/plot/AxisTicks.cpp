#include "AxisTicks.h"

#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <array>
#include <cmath>

namespace Corvane {
namespace {

// The locale's short time of day, with seconds added after the minutes if it has none.
QString formatWithSeconds(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1Char('s'))) {
        format.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    }
    return format;
}

QTime localTime(AxisTicks::Millis time) {
    return QDateTime::fromMSecsSinceEpoch(time).time();
}

} // namespace

AxisTicks::Scale AxisTicks::valueScale(double dataMin, double dataMax, int maxTicks) {
    if (!std::isfinite(dataMin) || !std::isfinite(dataMax) || dataMax < dataMin) {
        dataMin = 0;
        dataMax = 1;
    }
    if (dataMax - dataMin < 1e-6 * std::max(1.0, std::fabs(dataMax))) {
        // A flat trace sits mid-chart with a little room either side.
        const double pad = std::max(0.5, std::fabs(dataMax) * 0.02);
        dataMin -= pad;
        dataMax += pad;
    }
    const double raw = (dataMax - dataMin) / std::max(1, maxTicks);
    const double exponent = std::floor(std::log10(raw));
    const double magnitude = std::pow(10.0, exponent);
    const double norm = raw / magnitude;
    const double factor = norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 2.5 ? 2.5 : norm <= 5 ? 5 : 10;
    const double step = factor * magnitude;
    const int decimals = std::clamp(static_cast<int>(-exponent) + (factor == 2.5 ? 1 : 0), 0, 6);
    // An end a hair beyond a tick (a load's -0.01 A at rest) stays on that tick rather than
    // costing a whole step; the chart's inner padding keeps the overshoot in view.
    const double tolerance = (dataMax - dataMin) * kOvershoot;
    double low = std::floor(dataMin / step + 1e-9) * step;
    if (low + step - dataMin <= tolerance) {
        low += step;
    }
    double high = std::ceil(dataMax / step - 1e-9) * step;
    if (dataMax - (high - step) <= tolerance) {
        high -= step;
    }
    return {low, high, step, factor == 10 ? std::max(0, decimals - 1) : decimals};
}

std::vector<double> AxisTicks::valueTicks(const Scale& scale) {
    std::vector<double> ticks;
    if (!(scale.step > 0) || scale.high < scale.low) {
        return ticks;
    }
    const auto count = static_cast<long long>(std::llround((scale.high - scale.low) / scale.step));
    for (long long i = 0; i <= std::min(count, 1000LL); ++i) {
        const double value = scale.low + static_cast<double>(i) * scale.step;
        ticks.push_back(std::fabs(value) < scale.step * 1e-6 ? 0.0 : value);
    }
    return ticks;
}

QString AxisTicks::valueLabel(double value, int decimals) {
    const QLocale locale;
    const QString text = locale.toString(value, 'f', decimals);
    // A value that rounds to zero reads 0, never -0.
    const double shown = std::round(std::fabs(value) * std::pow(10.0, decimals));
    return shown == 0 ? locale.toString(0.0, 'f', decimals) : text;
}

AxisTicks::Millis AxisTicks::timeStep(Millis span, int width, int labelWidth) {
    constexpr std::array<Millis, 14> steps{1000,   2000,    5000,    10000,  15000,
                                           30000,  60000,   120000,  300000, 600000,
                                           900000, 1800000, 3600000, 7200000};
    if (span <= 0 || width <= 0) {
        return steps.back();
    }
    for (const Millis step : steps) {
        if (static_cast<double>(step) / static_cast<double>(span) * width >= labelWidth) {
            return step;
        }
    }
    return steps.back();
}

std::vector<AxisTicks::Millis> AxisTicks::timeTicks(Millis from, Millis to, Millis step) {
    std::vector<Millis> ticks;
    if (step <= 0 || to < from || (to - from) / step > 1000) {
        return ticks;
    }
    // Align to the local clock: a minute tick lands on :00 also where the zone is :30 off UTC.
    const Millis offset = QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc() * Millis{1000};
    const Millis local = from + offset;
    Millis tick = (local / step + (local % step > 0 ? 1 : 0)) * step - offset;
    for (; tick <= to; tick += step) {
        ticks.push_back(tick);
    }
    return ticks;
}

QString AxisTicks::timeLabel(Millis time, bool seconds) {
    const QLocale locale;
    const QString format =
        seconds ? formatWithSeconds(locale) : locale.timeFormat(QLocale::ShortFormat);
    return locale.toString(localTime(time), format);
}

QString AxisTicks::cursorTimeLabel(Millis time) {
    const QLocale locale;
    QString format = formatWithSeconds(locale);
    format.replace(QStringLiteral("ss"), QStringLiteral("ss'%1'zzz").arg(locale.decimalPoint()));
    return locale.toString(localTime(time), format);
}

} // namespace Corvane
