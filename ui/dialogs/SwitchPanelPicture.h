#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>

class QPainter;

namespace Corvane {

// The CAN switch panel that the switch board dialog shows behind its boxes: a grid of 4 rows of
// 6 round push buttons, and down the left edge a key switch, a green-ringed and a red-ringed
// button. Drawn in code, so it is the same on every screen and needs no image file. All
// geometry is in picture pixels from the picture's top-left corner.
class SwitchPanelPicture {
public:
    static constexpr QSize kSize{855, 583};
    static constexpr int kGridColumns = 6;
    static constexpr int kGridRows = 4;
    static constexpr int kGridButtons = kGridColumns * kGridRows;
    static constexpr int kKeySwitch = 24;
    static constexpr int kGreenButton = 25;
    static constexpr int kRedButton = 26;
    static constexpr int kButtons = 27;

    // Centre of button 0 to 26 (grid left to right, top to bottom; then the left edge from the
    // top). Anything else gives the picture's origin.
    static QPoint buttonCentre(int button);
    // Radius of everything drawn for the button, bezel and ring included.
    static int buttonRadius(int button);

    // Paints the whole picture with its top-left corner at the painter's origin. With factors
    // other than 1 the positions stretch by them (as the dialog's boxes do under a font other
    // than the design's) while the buttons stay round, scaled by the smaller factor.
    static void paint(QPainter& painter, double factorX = 1.0, double factorY = 1.0);

private:
    struct Stretch {
        double fx;
        double fy;
        QPointF at(QPointF p) const { return {p.x() * fx, p.y() * fy}; }
        QRectF at(const QRectF& r) const { return {at(r.topLeft()), at(r.bottomRight())}; }
        double round() const { return fx < fy ? fx : fy; }
    };

    static void paintBody(QPainter& painter, const Stretch& s);
    static void paintGridButton(QPainter& painter, QPointF centre, double k);
    static void paintKeySwitch(QPainter& painter, QPointF centre, double k);
    static void paintRingedButton(QPainter& painter, QPointF centre, double k, bool green);
};

} // namespace Corvane
