#pragma once

// Finding the controls an operator could reach, and handling them as the operator would.

#include <QPoint>
#include <QWidget>

#include <vector>

namespace monkey {

// The controls of this type in the window `root` (not in windows of its own that it owns) that
// are shown and enabled.
template <typename T>
std::vector<T*> usable(const QWidget& root) {
    std::vector<T*> out;
    for (T* w : root.findChildren<T*>()) {
        if (w->isVisible() && w->isEnabled() && w->window() == root.window()) {
            out.push_back(w);
        }
    }
    return out;
}

// A left click, at the centre unless a point is given.
void click(QWidget& widget, QPoint at = {-1, -1});
// A key press and release on the control that has the focus inside `window`, or on `window`.
void press(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The control of `window` that keys go to.
QWidget& keyTarget(QWidget& window);

} // namespace monkey
