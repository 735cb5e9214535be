#pragma once

#include "IPAddressControl.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

// A shown, active top-level window with an edit box before and after the control, so that focus
// and Tab behave as they do in a dialog.
class TestWindow {
public:
    TestWindow() {
        window_ = std::make_unique<QWidget>();
        before_ = new QLineEdit(window_.get());
        control_ = new MarlinIPAddressControlLib::IPAddressControl(window_.get());
        after_ = new QLineEdit(window_.get());
        before_->setGeometry(0, 0, 100, 24);
        control_->move(0, 40);
        after_->setGeometry(0, 80, 100, 24);
        window_->resize(300, 120);
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

    MarlinIPAddressControlLib::IPAddressControl& control() { return *control_; }
    QLineEdit& before() { return *before_; }
    QLineEdit& after() { return *after_; }

    MarlinIPAddressControlLib::FieldControl& field(int i) {
        return *control_->findChild<MarlinIPAddressControlLib::FieldControl*>(
            QStringLiteral("FieldControl%1").arg(i));
    }
    MarlinIPAddressControlLib::DotControl& dot(int i) {
        return *control_->findChild<MarlinIPAddressControlLib::DotControl*>(
            QStringLiteral("DotControl%1").arg(i));
    }
    // Index of the field holding the focus, -1 for none.
    int focusedField() {
        for (int i = 0; i < 4; ++i) {
            if (field(i).hasFocus()) {
                return i;
            }
        }
        return -1;
    }
    // Types into whichever widget has the focus, as the operator would.
    void type(const QString& keys) {
        for (QChar c : keys) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

private:
    std::unique_ptr<QWidget> window_;
    QLineEdit* before_ = nullptr;
    MarlinIPAddressControlLib::IPAddressControl* control_ = nullptr;
    QLineEdit* after_ = nullptr;
};
