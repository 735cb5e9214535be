#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QFont;
class QWidget;

namespace Corvane {

// The window's layout is drawn for a 6 x 13 pixel character cell. This turns those design pixels
// into device pixels for the font actually in use, so that texts fit their boxes whatever font
// the desktop gives.
class DesignScale {
public:
    static constexpr double kDesignCharWidth = 6.0;
    static constexpr double kDesignCharHeight = 13.0;

    // The cell of `font`: the mean width of the Latin letters and the line height.
    explicit DesignScale(const QFont& font);
    // The cell of the widget's own font.
    static DesignScale of(const QWidget& widget);
    // Exactly the design cell, for tests and for drawing at design size.
    static DesignScale identity() { return DesignScale(1.0, 1.0); }

    double factorX() const { return fx_; }
    double factorY() const { return fy_; }

    int x(int designX) const;
    int y(int designY) const;
    QPoint point(int designX, int designY) const { return {x(designX), y(designY)}; }
    QSize size(int designWidth, int designHeight) const;
    // Places a box by its design corner and size; the far edges are scaled too, so that boxes
    // placed side by side keep their gaps.
    QRect rect(int designX, int designY, int designWidth, int designHeight) const;

private:
    DesignScale(double fx, double fy)
        : fx_(fx)
        , fy_(fy) {}

    double fx_;
    double fy_;
};

} // namespace Corvane
