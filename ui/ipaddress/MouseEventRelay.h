#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <QMouseEvent>
class QWidget;

namespace MarlinIPAddressControlLib {

// Watches one widget and turns its raw mouse traffic into the click, double-click, move and
// hover notifications the fields and dots re-raise. A click is a press and a release of the
// same button inside the widget; the release that ends a double-click is no second click.
// Hover fires once per visit, when the pointer has rested for the style's hover delay.
class MouseEventRelay : public QObject {
    Q_OBJECT
public:
    explicit MouseEventRelay(QWidget* watched);

signals:
    void Click();
    void DoubleClick();
    void MouseClick(QMouseEvent* event);
    void MouseDoubleClick(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseHover();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* watched_;
    QTimer hoverTimer_;
    bool pressed_ = false;
    bool hovered_ = false;
};

} // namespace MarlinIPAddressControlLib
