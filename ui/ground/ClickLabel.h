#pragma once

#include <QLabel>

namespace Corvane {

// A label that reports clicks: `clicked` when the left button is released over it after being
// pressed there, `doubleClicked` for the second press of a double click (whose first click has
// already been reported).
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickLabel(QWidget* parent = nullptr);

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace Corvane
