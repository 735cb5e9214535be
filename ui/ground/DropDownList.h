#pragma once

#include "FocusEdges.h"

#include <QComboBox>

namespace Corvane {

// A combo box that tells when its list opens and closes and when the operator enters and leaves
// it. Committed selection is QComboBox::activated; any change of the selection, also by the
// program, is currentIndexChanged.
class DropDownList : public QComboBox {
    Q_OBJECT

public:
    explicit DropDownList(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;
    bool popupOpen() const { return popupOpen_; }

signals:
    void dropDownOpened();
    void dropDownClosed();
    void focusGained();
    void focusLost();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    FocusEdges focus_;
    bool popupOpen_ = false;
};

} // namespace Corvane
