#include "DotControl.h"

#include "MouseEventRelay.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace MarlinIPAddressControlLib {

DotControl::DotControl(QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Measure();

    auto* relay = new MouseEventRelay(this);
    connect(relay, &MouseEventRelay::Click, this, &DotControl::Click);
    connect(relay, &MouseEventRelay::DoubleClick, this, &DotControl::DoubleClick);
    connect(relay, &MouseEventRelay::MouseClick, this, &DotControl::MouseClick);
    connect(relay, &MouseEventRelay::MouseDoubleClick, this, &DotControl::MouseDoubleClick);
    connect(relay, &MouseEventRelay::MouseMove, this, &DotControl::MouseMove);
    connect(relay, &MouseEventRelay::MouseHover, this, &DotControl::MouseHover);
}

void DotControl::SetReadOnly(bool readOnly) {
    _readOnly = readOnly;
    update();
}

void DotControl::SetBackColorChanged(bool changed) {
    _backColorChanged = changed;
    update();
}

QSize DotControl::MinimumSize() const {
    return {static_cast<int>(std::ceil(_sizeText.width())),
            static_cast<int>(std::ceil(_sizeText.height())) + 1};
}

void DotControl::Measure() {
    _sizeText = QFontMetricsF(font()).size(_stringFormat, Text());
    setFixedSize(MinimumSize());
}

void DotControl::paintEvent(QPaintEvent*) {
    const QPalette system = QApplication::palette(this);
    const bool defaultColours = !_backColorChanged;
    QColor back = palette().color(QPalette::Active, QPalette::Base);
    if ((!isEnabled() || _readOnly) && defaultColours) {
        back = system.color(QPalette::Active, QPalette::Window);
    }
    QColor fore = palette().color(QPalette::Active, QPalette::Text);
    if (!isEnabled()) {
        fore = system.color(QPalette::Disabled, QPalette::Text);
    } else if (_readOnly && defaultColours) {
        fore = system.color(QPalette::Active, QPalette::Text);
    }

    QPainter painter(this);
    painter.fillRect(rect(), back);
    painter.setPen(fore);
    painter.setFont(font());
    painter.drawText(QRectF(rect()),
                     static_cast<int>(Qt::AlignHCenter | Qt::AlignTop) | _stringFormat, Text());
}

void DotControl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        Measure();
    }
}

} // namespace MarlinIPAddressControlLib
