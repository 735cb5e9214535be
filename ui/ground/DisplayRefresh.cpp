#include "DisplayRefresh.h"

#include <QLineEdit>
#include <QPalette>
#include <QWidget>

namespace Corvane {

bool DisplayRefresh::setText(QLineEdit& box, const QString& text) {
    if (box.text() == text) {
        return false;
    }
    box.setText(text);
    return true;
}

bool DisplayRefresh::setColors(QWidget& box, const QColor& background, const QColor& text) {
    const QPalette& current = box.palette();
    const auto shows = [&current](QPalette::ColorRole role, const QColor& wanted) {
        return current.color(QPalette::Active, role) == wanted &&
               current.color(QPalette::Inactive, role) == wanted;
    };
    if (shows(QPalette::Base, background) && shows(QPalette::Window, background) &&
        shows(QPalette::Text, text) && shows(QPalette::WindowText, text)) {
        return false;
    }
    QPalette palette = current;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::WindowText, text);
    }
    box.setPalette(palette);
    return true;
}

QColor DisplayRefresh::background(const QWidget& box) {
    return box.palette().color(QPalette::Active, QPalette::Base);
}

QColor DisplayRefresh::foreground(const QWidget& box) {
    return box.palette().color(QPalette::Active, QPalette::Text);
}

} // namespace Corvane
