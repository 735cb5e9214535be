#pragma once

#include <QPushButton>

namespace Corvane {

// A check box drawn as a push button that does not change its own state: a click only reports
// `clicked`, and the handler decides (usually after asking the unit) what setChecked shows.
// `toggled` fires on every real change of the state, also a programmatic one.
class ButtonCheckBox : public QPushButton {
    Q_OBJECT

public:
    explicit ButtonCheckBox(QWidget* parent = nullptr);
    explicit ButtonCheckBox(const QString& text, QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};

} // namespace Corvane
