#include "InputBox.h"

#include "DesignScale.h"
#include "LimitedLineEdit.h"

#include <QPushButton>

namespace Corvane {

InputBox::InputBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , txtInput(new LimitedLineEdit(kMaxInput, this))
    , btnOk(new QPushButton(QStringLiteral("OK"), this))
    , btnCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("InputBox"));
    setWindowTitle(QStringLiteral("InputBox"));
    txtInput->setObjectName(QStringLiteral("txtInput"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    const DesignScale scale = DesignScale::of(*this);
    txtInput->setGeometry(scale.rect(12, 12, 156, 20));
    btnOk->setGeometry(scale.rect(12, 38, 75, 23));
    btnCancel->setGeometry(scale.rect(93, 38, 75, 23));
    setFixedSize(scale.size(180, 70));
    setSizeGripEnabled(false);

    // Enter anywhere but on the Cancel button is OK; QDialog turns Escape into reject().
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(txtInput, btnOk);
    setTabOrder(btnOk, btnCancel);
    txtInput->setFocus();
}

void InputBox::setFormText(const QString& text) {
    setWindowTitle(text);
}

void InputBox::setText(const QString& text) {
    txtInput->setText(text);
}

QString InputBox::getText() const {
    return txtInput->text();
}

void InputBox::usePasswordChar() {
    txtInput->setEchoMode(QLineEdit::Password);
}

} // namespace Corvane
