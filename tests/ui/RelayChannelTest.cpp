// The channel row's build, its relay buttons and its name edit, and the inverter row.

#include "ClickLabel.h"
#include "DesignScale.h"
#include "FakeDevice.h"
#include "InputBox.h"
#include "RowFixture.h"

#include <QComboBox>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using uitest::RowFixture;

struct Placed {
    const char* name;
    int x, dy, w, h;
    const char* text;
};

TEST_F(RowFixture, TheRowStandsInItsColumnsWithItsNamesAndTexts) {
    const Placed layout[] = {
        {"label1", 7, 5, 82, 17, "Ch.6"},       {"button1", 96, 0, 45, 23, "ON"},
        {"button2", 148, 0, 50, 23, "OFF"},     {"button3", 205, 0, 60, 23, "TOGGLE"},
        {"textBoxCurrent", 272, 2, 60, 22, ""}, {"textBox3", 339, 2, 100, 22, ""},
        {"comboBox1", 446, 2, 70, 22, ""},      {"textBox5", 523, 2, 50, 22, ""},
    };
    Corvane::RelayChannel& row = addRow(5);
    uitest::showActive(window());
    const Corvane::DesignScale scale = Corvane::DesignScale::of(group());
    const int top = 6 * 35;
    for (const Placed& p : layout) {
        SCOPED_TRACE(p.name);
        auto* w = group().findChild<QWidget*>(QString::fromLatin1(p.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), scale.rect(p.x, top + p.dy, p.w, p.h));
        EXPECT_TRUE(w->isVisible());
        const QVariant text = w->property("text");
        if (text.isValid()) {
            EXPECT_EQ(text.toString(), p.text);
        }
    }
    EXPECT_EQ(row.checkBox1->pos(), scale.point(580, top + 4));
    EXPECT_TRUE(row.checkBox1->text().isEmpty());
    EXPECT_EQ(row.textBoxCurrent->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(row.txtBoxCurrentSq->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(row.txtBoxRelayStatus->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(QFontInfo(row.textBoxCurrent->font()).fixedPitch());
    EXPECT_NEAR(row.textBoxCurrent->font().pointSizeF(), 7.9, 0.01);
    QStringList items;
    for (int i = 0; i < row.comboBoxFuse->count(); ++i) {
        items << row.comboBoxFuse->itemText(i);
    }
    EXPECT_EQ(items.join(u' '), "1 2 3 4 5 7.5 10 15 20 25 30");
    EXPECT_TRUE(row.comboBoxFuse->isEditable());
    EXPECT_FALSE(row.checkBox1->isChecked());

    // Tab walks the row left to right.
    const char* tabOrder[] = {"button1",  "button2",   "button3",  "textBoxCurrent",
                              "textBox3", "comboBox1", "textBox5", "checkBox1"};
    group().findChild<QWidget*>(QStringLiteral("button1"))->setFocus(Qt::TabFocusReason);
    for (const char* name : tabOrder) {
        EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(RowFixture, TheButtonsSwitchTheirChannelsRelayAndNothingElse) {
    openDevice();
    Corvane::RelayChannel& row = addRow(2);
    Corvane::RelayChannel& inverter = addRow(12, true);
    uitest::showActive(window());
    struct Press {
        Corvane::RelayChannel* row;
        const char* button;
        std::uint8_t channel;
        std::uint8_t action; // 0 off, 1 on, 2 toggle
        bool closedAfter;
    };
    const Press presses[] = {
        {&row, "button1", 2, 1, true},        {&row, "button2", 2, 0, false},
        {&row, "button3", 2, 2, true},        {&inverter, "button1", 12, 1, true},
        {&inverter, "button3", 12, 2, false}, {&inverter, "button2", 12, 0, false},
    };
    for (const Press& p : presses) {
        SCOPED_TRACE(std::string(p.button) + " of channel " + std::to_string(p.channel));
        bus().clearCalls();
        QPushButton* button = control<QPushButton>(*p.row, p.button);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(sentOnStream(), std::vector<uitest::Bytes>({{0x01, 0x00, p.channel, p.action}}));
        EXPECT_TRUE(bus().calls(sim::Call::BulkTransfer).size() == 1u);
        EXPECT_EQ(unit().relayClosed(p.channel), p.closedAfter);
    }
    // The status box is the main window's: a press leaves it as it was.
    EXPECT_TRUE(row.txtBoxRelayStatus->text().isEmpty());
}

TEST_F(RowFixture, TheInverterRowHasNoFuseControlsAndHidesCompletely) {
    openDevice();
    Corvane::RelayChannel& inverter = addRow(12, true);
    uitest::showActive(window());
    EXPECT_EQ(inverter.comboBoxFuse, nullptr);
    EXPECT_EQ(inverter.checkBox1, nullptr);
    EXPECT_EQ(inverter.txtBoxCurrentSq, nullptr);
    EXPECT_TRUE(group().findChildren<QComboBox*>().isEmpty());
    EXPECT_TRUE(group().findChildren<QCheckBox*>().isEmpty());
    EXPECT_EQ(group().findChild<QWidget*>(QStringLiteral("textBox5")), nullptr);
    EXPECT_EQ(inverter.lblChannel->text(), "Ch.13");
    EXPECT_FALSE(inverter.textBoxCurrent->isVisible());
    const Corvane::DesignScale scale = Corvane::DesignScale::of(group());
    EXPECT_EQ(inverter.txtBoxRelayStatus->geometry(), scale.rect(339, 455 + 2, 100, 22));
    // Fuse operations are the relay rows' only; on this row they change nothing.
    inverter.updateFuse(15);

    inverter.SetVisible(false);
    for (QWidget* w : group().findChildren<QWidget*>()) {
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    }
    inverter.SetVisible(true);
    EXPECT_TRUE(inverter.lblChannel->isVisible());
    EXPECT_TRUE(inverter.txtBoxRelayStatus->isVisible());
    EXPECT_FALSE(inverter.textBoxCurrent->isVisible());
    EXPECT_TRUE(bus().transfers().empty());
}

// Types `name` over the dialog's text and presses Enter, or presses Escape.
std::shared_ptr<const uitest::ModalOutcome> answerNameDialog(const QString& name, bool ok,
                                                             QString* preset = nullptr) {
    return uitest::answerNextModal([name, ok, preset](QWidget& dialog) {
        auto* input = dialog.findChild<QLineEdit*>(QStringLiteral("txtInput"));
        ASSERT_NE(input, nullptr);
        if (preset != nullptr) {
            *preset = input->text();
        }
        input->selectAll();
        uitest::typeText(input, name);
        QTest::keyClick(input, ok ? Qt::Key_Return : Qt::Key_Escape);
    });
}

TEST_F(RowFixture, TheNameEditWritesTheNameAndShowsTheOneReadBack) {
    Corvane::RelayChannel& row = connectedRow(4);
    row.lblChannel->setText(QStringLiteral("Channel 5"));
    QString preset;
    auto outcome = answerNameDialog(QStringLiteral("Pump"), true, &preset);
    QTest::mouseClick(row.lblChannel, Qt::LeftButton);
    EXPECT_TRUE(outcome->answered);
    EXPECT_FALSE(outcome->forced);
    EXPECT_EQ(outcome->title, "Enter new channel name:");
    EXPECT_EQ(preset, "Channel 5");
    EXPECT_EQ(unit().settings().names[4], "Pump");
    EXPECT_EQ(row.lblChannel->text(), "Pump");
    EXPECT_EQ(sent(tarn::Command::GET_CHANNEL_NAME).size(), 1u);

    bus().clearCalls();
    outcome = answerNameDialog(QStringLiteral("Fan"), false);
    QTest::mouseClick(row.lblChannel, Qt::LeftButton);
    EXPECT_TRUE(outcome->answered);
    EXPECT_TRUE(bus().transfers().empty());
    EXPECT_EQ(row.lblChannel->text(), "Pump");
}

TEST_F(RowFixture, ANameOutsideTheCodePageOrTooLongStillFitsTheUnitsField) {
    Corvane::RelayChannel& row = connectedRow(0);
    auto outcome = answerNameDialog(QString::fromUtf8("Pump → Été ✓"), true);
    QTest::mouseClick(row.lblChannel, Qt::LeftButton);
    EXPECT_EQ(unit().settings().names[0], "Pump ? \xC9t\xE9 ?");
    EXPECT_EQ(row.lblChannel->text(), QString::fromUtf8("Pump ? Été ?"));

    // A longer name preset by the window is offered whole; what is sent is cut to the field.
    row.lblChannel->setText(QString(70, QChar(u'é')));
    outcome = uitest::answerNextModal([](QWidget& dialog) {
        QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("txtInput")), Qt::Key_Return);
    });
    QTest::mouseClick(row.lblChannel, Qt::LeftButton);
    EXPECT_TRUE(outcome->answered);
    EXPECT_EQ(unit().settings().names[0], std::string(61, '\xE9'));
    EXPECT_EQ(row.lblChannel->text(), QString(61, QChar(u'é')));

    // Markup in a name is shown as it is.
    unit().settings().names[0] = "<b>bold</b>";
    outcome = answerNameDialog(QStringLiteral("<b>bold</b>"), true);
    QTest::mouseClick(row.lblChannel, Qt::LeftButton);
    EXPECT_EQ(row.lblChannel->textFormat(), Qt::PlainText);
    EXPECT_EQ(row.lblChannel->text(), "<b>bold</b>");
}

TEST_F(RowFixture, AFailedNameReadBackLeavesTheLabel) {
    Corvane::RelayChannel& row = connectedRow(1);
    unit().failNextReplies(sim::ReplyFault::Timeout, 2);
    auto outcome = answerNameDialog(QStringLiteral("Lights"), true);
    QTest::mouseClick(row.lblChannel, Qt::LeftButton);
    EXPECT_TRUE(outcome->answered);
    EXPECT_EQ(unit().settings().names[1], "Lights"); // the write landed, its reply was lost
    EXPECT_EQ(row.lblChannel->text(), "Ch.2");
}

// A row's handler that throws ends there, told in the guard's message box: the event loop never
// sees it, and a commit under way leaves the fuse lock free.
TEST(RelayChannelGuard, AThrowingDeviceCallIsReportedNotPropagated) {
    const char* const controls[] = {"button1", "checkBox1"}; // a relay request, a fuse commit
    for (const char* name : controls) {
        SCOPED_TRACE(name);
        Corvane::DeviceSlot slot =
            std::make_unique<uitest::FakeDevice>(uitest::FakeDevice::Behaviour::Throwing);
        QWidget group;
        Corvane::RelayChannel row(&group, slot, 3, false);
        row.updateFuse(10);
        QString shown;
        const auto outcome = uitest::answerNextModal([&shown](QWidget& modal) {
            auto& box = static_cast<QMessageBox&>(modal);
            shown = box.text();
            box.button(QMessageBox::Ok)->click();
        });
        auto* control = uitest::findNamed<QAbstractButton>(group, QString::fromLatin1(name));
        EXPECT_NO_THROW(control->click());
        EXPECT_TRUE(outcome->answered);
        EXPECT_EQ(outcome->title, QStringLiteral("Tarnwell (Marlin Inc.)"));
        EXPECT_EQ(shown, QStringLiteral("the unit link broke"));
        EXPECT_FALSE(row.fuseLocked());
    }
}

} // namespace
