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
    // While the list is open its view may take the focus outright (not as a popup's focus); the
    // operator is still in this control.
    if (!popupOpen_ && focus_.out(event->reason())) {
        emit focusLost();
    }
}

} // namespace Corvane
