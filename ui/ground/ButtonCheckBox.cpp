#include "ButtonCheckBox.h"

namespace Corvane {

ButtonCheckBox::ButtonCheckBox(QWidget* parent)
    : ButtonCheckBox(QString(), parent) {}

ButtonCheckBox::ButtonCheckBox(const QString& text, QWidget* parent)
    : QPushButton(text, parent) {
    setCheckable(true);
}

void ButtonCheckBox::nextCheckState() {
    // The state is the program's to set.
}

} // namespace Corvane
