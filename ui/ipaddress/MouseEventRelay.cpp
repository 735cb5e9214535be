#include "MouseEventRelay.h"

#include "HandlerGuard.h"

#include <QEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QWidget>

namespace MarlinIPAddressControlLib {

MouseEventRelay::MouseEventRelay(QWidget* watched)
    : QObject(watched)
    , watched_(watched) {
    watched_->setMouseTracking(true);
    watched_->installEventFilter(this);
    hoverTimer_.setSingleShot(true);
    // The timer's signal carries a private argument, so the guard is run directly.
    connect(&hoverTimer_, &QTimer::timeout, this, [this] {
        Corvane::HandlerGuard::run(watched_, [this] {
            if (!hovered_ && watched_->underMouse()) {
                hovered_ = true;
                emit MouseHover();
            }
        });
    });
}

bool MouseEventRelay::eventFilter(QObject* watched, QEvent* event) {
    if (watched != watched_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        pressed_ = true;
        break;
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool inside = watched_->rect().contains(mouse->position().toPoint());
        if (pressed_ && inside) {
            pressed_ = false;
            emit Click();
            emit MouseClick(mouse);
        }
        pressed_ = false;
        break;
    }
    case QEvent::MouseButtonDblClick:
        pressed_ = false;
        emit DoubleClick();
        emit MouseDoubleClick(static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseMove:
        emit MouseMove(static_cast<QMouseEvent*>(event));
        if (!hovered_) {
            hoverTimer_.start(watched_->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay));
        }
        break;
    case QEvent::Enter:
        hovered_ = false;
        hoverTimer_.start(watched_->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay));
        break;
    case QEvent::Leave:
        hoverTimer_.stop();
        pressed_ = false;
        break;
    default:
        break;
    }
    return false;
}

} // namespace MarlinIPAddressControlLib
