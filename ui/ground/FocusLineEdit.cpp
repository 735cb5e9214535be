#include "FocusLineEdit.h"

#include <QFocusEvent>

namespace Corvane {

FocusLineEdit::FocusLineEdit(QWidget* parent)
    : QLineEdit(parent) {}

void FocusLineEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (focus_.in(event->reason())) {
        emit focusGained();
    }
}

void FocusLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (focus_.out(event->reason())) {
        emit focusLost();
    }
}

} // namespace Corvane
