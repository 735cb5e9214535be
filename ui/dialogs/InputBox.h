#pragma once

#include <QDialog>
#include <QString>

class QPushButton;

namespace Corvane {

class LimitedLineEdit;

// A small modal dialog asking for one line of text: the caption is the prompt, Enter is OK and
// Escape is Cancel, and there are no title-bar buttons, so it ends only through its buttons or
// their keys. Typed or pasted text is held to kMaxInput characters; the text is not checked or
// trimmed otherwise.
class InputBox : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxInput = 61;

    explicit InputBox(QWidget* parent = nullptr);

    void setFormText(const QString& text);
    void setText(const QString& text);
    QString getText() const;
    void usePasswordChar();

private:
    LimitedLineEdit* txtInput;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

} // namespace Corvane
