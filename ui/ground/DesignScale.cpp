#include "DesignScale.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QWidget>

#include <cmath>
#include <utility>

namespace Corvane {
namespace {

int scaled(int design, double factor) {
    return static_cast<int>(std::lround(design * factor));
}

} // namespace

DesignScale::DesignScale(const QFont& font) {
    // Each channel row and each dialog measures the same window font again; the cell of a font
    // does not change while the program runs.
    static QHash<QString, std::pair<double, double>> measured;
    const QString key = font.key();
    if (const auto known = measured.constFind(key); known != measured.cend()) {
        fx_ = known->first;
        fy_ = known->second;
        return;
    }
    static const QString letters =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(letters) / static_cast<double>(letters.size());
    const double height = metrics.height();
    // A font without metrics (none installed) keeps the design size rather than collapsing.
    fx_ = width > 0 ? width / kDesignCharWidth : 1.0;
    fy_ = height > 0 ? height / kDesignCharHeight : 1.0;
    measured.insert(key, {fx_, fy_});
}

DesignScale DesignScale::of(const QWidget& widget) {
    return DesignScale(widget.font());
}

int DesignScale::x(int designX) const {
    return scaled(designX, fx_);
}

int DesignScale::y(int designY) const {
    return scaled(designY, fy_);
}

QSize DesignScale::size(int designWidth, int designHeight) const {
    return {scaled(designWidth, fx_), scaled(designHeight, fy_)};
}

QRect DesignScale::rect(int designX, int designY, int designWidth, int designHeight) const {
    const int left = x(designX);
    const int top = y(designY);
    return {left, top, x(designX + designWidth) - left, y(designY + designHeight) - top};
}

} // namespace Corvane
