#include "Controls.h"

#include <QTest>

namespace monkey {

void click(QWidget& widget, QPoint at) {
    const QPoint point = at.x() < 0 ? widget.rect().center() : at;
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, point);
}

QWidget& keyTarget(QWidget& window) {
    QWidget* focus = window.focusWidget();
    return focus != nullptr && focus->isVisible() ? *focus : window;
}

void press(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(&keyTarget(window), key, modifiers);
}

} // namespace monkey
