// The text input dialog: how it ends, and the limit on what the operator can type or paste.

#include "InputBox.h"
#include "DesignScale.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

QLineEdit& input(QWidget& dialog) {
    return *dialog.findChild<QLineEdit*>(QStringLiteral("txtInput"));
}

struct Ending {
    const char* what;
    std::function<void(QWidget&)> act;
    int result;
};

TEST(InputBox, EnterIsOkAndEscapeIsCancelAndTheTextIsWhatTheBoxShows) {
    const Ending endings[] = {
        {"Enter", [](QWidget& d) { QTest::keyClick(&input(d), Qt::Key_Return); },
         QDialog::Accepted},
        {"keypad Enter", [](QWidget& d) { QTest::keyClick(&input(d), Qt::Key_Enter); },
         QDialog::Accepted},
        {"Escape", [](QWidget& d) { QTest::keyClick(&input(d), Qt::Key_Escape); },
         QDialog::Rejected},
        {"OK button",
         [](QWidget& d) { QTest::mouseClick(d.findChild<QPushButton*>("btnOk"), Qt::LeftButton); },
         QDialog::Accepted},
        {"Cancel button",
         [](QWidget& d) {
             QTest::mouseClick(d.findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
         },
         QDialog::Rejected},
    };
    for (const Ending& e : endings) {
        SCOPED_TRACE(e.what);
        Corvane::InputBox box;
        box.setFormText(QStringLiteral("Enter new channel name:"));
        box.setText(QStringLiteral("Ch.1"));
        bool focused = false;
        auto outcome = uitest::answerNextModal([&e, &focused](QWidget& d) {
            focused = d.focusWidget() == &input(d);
            QTest::keyClick(&input(d), Qt::Key_End);
            QTest::keyClicks(&input(d), QStringLiteral(" pump"));
            e.act(d);
        });
        EXPECT_EQ(box.exec(), e.result);
        EXPECT_TRUE(outcome->answered);
        EXPECT_FALSE(outcome->forced);
        EXPECT_TRUE(focused);
        EXPECT_EQ(outcome->title, "Enter new channel name:");
        EXPECT_EQ(box.getText(), "Ch.1 pump");
    }
}

TEST(InputBox, AnEmptyTextCanBeConfirmed) {
    Corvane::InputBox box;
    box.setText(QStringLiteral("old"));
    auto outcome = uitest::answerNextModal([](QWidget& d) {
        input(d).clear();
        QTest::keyClick(&input(d), Qt::Key_Return);
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(box.getText(), "");
}

TEST(InputBox, TypingAndPastingStopAtSixtyOneCharacters) {
    Corvane::InputBox box;
    box.show();
    QLineEdit& edit = input(box);
    edit.setFocus();
    QTest::keyClicks(&edit, QString(70, u'a'));
    EXPECT_EQ(edit.text(), QString(61, u'a'));

    edit.setText(QString(58, u'b'));
    edit.setCursorPosition(10);
    QApplication::clipboard()->setText(QStringLiteral("123456"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), QString(10, u'b') + "123" + QString(48, u'b'));
    EXPECT_EQ(edit.cursorPosition(), 13);

    // Replacing a selection with a paste that fits is an ordinary edit.
    edit.setSelection(0, 13);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "123456" + QString(48, u'b'));
}

TEST(InputBox, ALongerPresetTextIsShownWholeButDoesNotGrow) {
    Corvane::InputBox box;
    box.show();
    const QString preset(70, u'n');
    box.setText(preset);
    EXPECT_EQ(box.getText(), preset);
    QLineEdit& edit = input(box);
    edit.setFocus();
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(box.getText(), preset);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(box.getText().size(), 69);
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(box.getText().size(), 69);
}

TEST(InputBox, IsAFixedDialogWithoutTitleBarButtons) {
    Corvane::InputBox box;
    EXPECT_EQ(box.windowTitle(), "InputBox");
    const Qt::WindowFlags flags = box.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinMaxButtonsHint));
    const Corvane::DesignScale scale = Corvane::DesignScale::of(box);
    EXPECT_EQ(box.minimumSize(), scale.size(180, 70));
    EXPECT_EQ(box.maximumSize(), scale.size(180, 70));
    EXPECT_EQ(input(box).geometry(), scale.rect(12, 12, 156, 20));
    EXPECT_EQ(box.findChild<QPushButton*>("btnOk")->geometry(), scale.rect(12, 38, 75, 23));
    EXPECT_EQ(box.findChild<QPushButton*>("btnCancel")->geometry(), scale.rect(93, 38, 75, 23));
    EXPECT_EQ(box.findChild<QPushButton*>("btnCancel")->text(), "Cancel");

    box.usePasswordChar();
    EXPECT_EQ(input(box).echoMode(), QLineEdit::Password);
}

} // namespace
