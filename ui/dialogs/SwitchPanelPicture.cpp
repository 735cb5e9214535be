#include "SwitchPanelPicture.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>

namespace Corvane {

namespace {

// Grid pitch and the first button's centre; the dialog places its boxes to match.
constexpr int kGridLeft = 242;
constexpr int kGridTop = 118;
constexpr int kPitch = 90;
constexpr int kEdgeX = 40;
constexpr std::array<int, 3> kEdgeY{150, 292, 432};

// The grid buttons stay small enough that the box above each one never covers its bezel.
constexpr int kGridBezel = 20;
constexpr int kGridCap = 16;
constexpr int kKeyBezel = 34;
constexpr int kRingOuter = 30;

void paintScrew(QPainter& p, QPointF centre, double k) {
    QRadialGradient head(centre - QPointF(2, 2) * k, 7 * k);
    head.setColorAt(0, QColor(0xC8, 0xCB, 0xD0));
    head.setColorAt(1, QColor(0x5A, 0x5E, 0x64));
    p.setPen(QPen(QColor(0x18, 0x19, 0x1B), 1));
    p.setBrush(head);
    p.drawEllipse(centre, 6 * k, 6 * k);
    p.setPen(QPen(QColor(0x30, 0x32, 0x36), 1.5 * k));
    p.drawLine(centre + QPointF(-4, 4) * k, centre + QPointF(4, -4) * k);
}

// A metal bezel with a dark gap inside it, on which the cap or the ring sits.
void paintBezel(QPainter& p, QPointF c, qreal radius, double k) {
    QLinearGradient metal(c - QPointF(radius, radius), c + QPointF(radius, radius));
    metal.setColorAt(0, QColor(0xB4, 0xB8, 0xBE));
    metal.setColorAt(1, QColor(0x44, 0x47, 0x4C));
    p.setPen(QPen(QColor(0x12, 0x13, 0x15), 1));
    p.setBrush(metal);
    p.drawEllipse(c, radius, radius);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x16, 0x17, 0x19));
    p.drawEllipse(c, radius - 3 * k, radius - 3 * k);
}

void paintCap(QPainter& p, QPointF c, qreal radius, double k) {
    QRadialGradient cap(c - QPointF(radius / 3, radius / 3), radius * 1.4);
    cap.setColorAt(0, QColor(0x6E, 0x72, 0x79));
    cap.setColorAt(0.6, QColor(0x3A, 0x3D, 0x42));
    cap.setColorAt(1, QColor(0x22, 0x24, 0x27));
    p.setPen(QPen(QColor(0x0E, 0x0F, 0x10), 1));
    p.setBrush(cap);
    p.drawEllipse(c, radius, radius);
    // A soft highlight where the light from the top left catches the dome.
    const qreal inset = 3 * k;
    p.setPen(QPen(QColor(255, 255, 255, 60), 2 * k));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - radius + inset, c.y() - radius + inset, 2 * (radius - inset),
                     2 * (radius - inset)),
              100 * 16, 70 * 16);
}

} // namespace

QPoint SwitchPanelPicture::buttonCentre(int button) {
    if (button >= 0 && button < kGridButtons) {
        return {kGridLeft + kPitch * (button % kGridColumns),
                kGridTop + kPitch * (button / kGridColumns)};
    }
    if (button >= kKeySwitch && button < kButtons) {
        return {kEdgeX, kEdgeY[static_cast<std::size_t>(button - kKeySwitch)]};
    }
    return {};
}

int SwitchPanelPicture::buttonRadius(int button) {
    if (button >= 0 && button < kGridButtons) {
        return kGridBezel;
    }
    if (button == kKeySwitch) {
        return kKeyBezel;
    }
    return button < kButtons ? kRingOuter : 0;
}

void SwitchPanelPicture::paint(QPainter& painter, double factorX, double factorY) {
    const Stretch s{factorX, factorY};
    const double k = s.round();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintBody(painter, s);
    for (int n = 0; n < kGridButtons; ++n) {
        paintGridButton(painter, s.at(buttonCentre(n)), k);
    }
    paintKeySwitch(painter, s.at(buttonCentre(kKeySwitch)), k);
    paintRingedButton(painter, s.at(buttonCentre(kGreenButton)), k, true);
    paintRingedButton(painter, s.at(buttonCentre(kRedButton)), k, false);
    painter.restore();
}

void SwitchPanelPicture::paintBody(QPainter& p, const Stretch& s) {
    const double k = s.round();
    const QRectF body = s.at(QRectF(1.5, 1.5, kSize.width() - 3, kSize.height() - 3));
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(0x4A, 0x4E, 0x54));
    shade.setColorAt(1, QColor(0x2A, 0x2C, 0x30));
    p.setPen(QPen(QColor(0x10, 0x11, 0x12), 3));
    p.setBrush(shade);
    p.drawRoundedRect(body, 22 * k, 22 * k);

    // The recessed field of the grid and the strip down the left edge.
    p.setPen(QPen(QColor(0x1C, 0x1D, 0x20), 2));
    p.setBrush(QColor(0x33, 0x36, 0x3B));
    p.drawRoundedRect(s.at(QRectF(180, 60, 570, 365)), 14 * k, 14 * k);
    p.drawRoundedRect(s.at(QRectF(4, 70, 100, 410)), 14 * k, 14 * k);

    const qreal w = kSize.width();
    const qreal h = kSize.height();
    for (QPointF screw :
         {QPointF(22, 22), QPointF(w - 22, 22), QPointF(22, h - 22), QPointF(w - 22, h - 22)}) {
        paintScrew(p, s.at(screw), k);
    }
}

void SwitchPanelPicture::paintGridButton(QPainter& p, QPointF centre, double k) {
    paintBezel(p, centre, kGridBezel * k, k);
    paintCap(p, centre, kGridCap * k, k);
}

void SwitchPanelPicture::paintKeySwitch(QPainter& p, QPointF c, double k) {
    paintBezel(p, c, kKeyBezel * k, k);

    // The lock cylinder, its key slot turned to the off position, and the two position marks.
    QRadialGradient brass(c - QPointF(8, 8) * k, 30 * k);
    brass.setColorAt(0, QColor(0xE6, 0xCF, 0x8A));
    brass.setColorAt(1, QColor(0x8A, 0x6E, 0x2E));
    p.setPen(QPen(QColor(0x3A, 0x2E, 0x12), 1));
    p.setBrush(brass);
    p.drawEllipse(c, 22 * k, 22 * k);

    p.save();
    p.translate(c);
    p.rotate(-30);
    p.scale(k, k);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x1A, 0x0C));
    p.drawRoundedRect(QRectF(-3, -15, 6, 30), 2, 2);
    p.restore();

    p.setPen(QPen(QColor(0xE8, 0xE8, 0xE8), 2 * k));
    p.setBrush(Qt::NoBrush);
    const QPointF off = c + QPointF(-17, -29) * k;
    const QPointF on = c + QPointF(17, -29) * k;
    p.drawLine(off, off + QPointF(2, -4) * k);
    p.drawEllipse(on, 2.5 * k, 2.5 * k);
}

void SwitchPanelPicture::paintRingedButton(QPainter& p, QPointF c, double k, bool green) {
    const QColor ring = green ? QColor(0x2F, 0xC0, 0x52) : QColor(0xE0, 0x32, 0x2E);
    paintBezel(p, c, kRingOuter * k, k);

    // A lit ring with a faint glow inside it, around a plain cap.
    QRadialGradient glow(c, (kRingOuter - 3) * k);
    glow.setColorAt(0.6, ring.lighter(130));
    glow.setColorAt(1, ring.darker(160));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(c, (kRingOuter - 4) * k, (kRingOuter - 4) * k);
    paintCap(p, c, (kRingOuter - 10) * k, k);
}

} // namespace Corvane
