#pragma once

#include <QLineEdit>

namespace Corvane {

// A single-line text box whose limit binds what the operator types, pastes or drops, but not
// what the program puts there with setText: a longer preset text is shown whole and can be
// shortened, and only an edit that would grow the text past the limit is cut to fit (a paste
// keeps as much as fits, a keystroke in a full box is refused).
class LimitedLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit LimitedLineEdit(int limit, QWidget* parent = nullptr);
    int limit() const { return limit_; }

private:
    void remember();
    void limitEdit(const QString& edited);

    int limit_;
    QString shown_; // the text before the operator's latest edit
    bool fixing_ = false;
};

} // namespace Corvane
