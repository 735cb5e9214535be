#include "DropDownList.h"

#include <QFocusEvent>

namespace Corvane {

DropDownList::DropDownList(QWidget* parent)
    : QComboBox(parent) {}

void DropDownList::showPopup() {
    if (!popupOpen_) {
        popupOpen_ = true;
        emit dropDownOpened();
    }
    QComboBox::showPopup();
}

void DropDownList::hidePopup() {
    QComboBox::hidePopup();
    if (popupOpen_) {
        popupOpen_ = false;
        emit dropDownClosed();
    }
}

void DropDownList::focusInEvent(QFocusEvent* event) {
    QComboBox::focusInEvent(event);
    if (focus_.in(event->reason())) {
        emit focusGained();
    }
}

void DropDownList::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    if (focus_.out(event->reason())) {
        emit focusLost();
    }
}

} // namespace Corvane
