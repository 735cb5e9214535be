#pragma once

#include "FocusEdges.h"

#include <QLineEdit>

namespace Corvane {

// A single-line text box that tells when the operator enters and leaves it.
class FocusLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit FocusLineEdit(QWidget* parent = nullptr);

signals:
    void focusGained();
    void focusLost();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    FocusEdges focus_;
};

} // namespace Corvane
