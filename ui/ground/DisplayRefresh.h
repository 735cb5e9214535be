#pragma once

#include <QColor>
#include <QString>

class QLineEdit;
class QWidget;

namespace Corvane {

// What the poll tick writes into a box, written only when it differs from what the box shows, so
// that a steady stream of unchanged readings costs neither a repaint nor a text layout.
class DisplayRefresh {
public:
    // Returns whether the text changed.
    static bool setText(QLineEdit& box, const QString& text);
    // A box's background and text colours (the Base and Text roles, and Window and WindowText
    // for widgets that paint those). A combo box's arrow button keeps its own colours, so that
    // the arrow stays visible on every background. Returns whether they changed.
    static bool setColors(QWidget& box, const QColor& background, const QColor& text);
    static QColor background(const QWidget& box);
    static QColor foreground(const QWidget& box);
};

} // namespace Corvane
