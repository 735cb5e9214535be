// The scripts panel against the simulated unit: which boxes a partly failing read changes, what
// the writes carry, which script the run buttons start, and the font zoom.

#include "ScriptsPanel.h"
#include "ButtonCheckBox.h"
#include "FakeDevice.h"
#include "WindowFixture.h"
#include "WindowFonts.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QWidget>

#include <array>
#include <string>

namespace uitest {
namespace {

using Corvane::ScriptsPanel;

class ScriptsPanelTest : public WindowTest {
protected:
    QPlainTextEdit* box(std::size_t slot) {
        static const char* const names[] = {"textboxStartup", "textboxShutdown",
                                            "textboxValetStartup", "textboxValetShutdown"};
        return named<QPlainTextEdit>(QString::fromLatin1(names[slot]));
    }
    std::string& stored(std::size_t slot) { return unit().settings().scripts.at(slot); }
    void click(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    // The script type byte of each request sent with `command`, in order.
    static Bytes types(tarn::Command command) {
        Bytes out;
        for (const Bytes& request : sent(command)) {
            out.push_back(request.at(1));
        }
        return out;
    }
    void fillBoxes(const QString& prefix) {
        for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
            box(i)->setPlainText(prefix + QString::number(i));
        }
    }
    double pointSize(std::size_t slot) { return box(slot)->font().pointSizeF(); }
};

TEST_F(ScriptsPanelTest, ReadChangesExactlyTheBoxesWhoseReadSucceeded) {
    // The first `failing` script reads get no reply.
    struct Case {
        unsigned failing;
        std::array<bool, 4> fromUnit;
    };
    const Case cases[] = {
        {0, {true, true, true, true}},
        {1, {false, true, true, true}},
        {3, {false, false, false, true}},
        {4, {false, false, false, false}},
    };
    connectWindow();
    for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
        stored(i) = "unit " + std::to_string(i);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        fillBoxes(QStringLiteral("old "));
        unit().failNextReplies(sim::ReplyFault::Timeout, c.failing);
        click(named<QPushButton>("btnLoadScript"));
        for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
            EXPECT_EQ(box(i)->toPlainText(),
                      (c.fromUnit[i] ? QStringLiteral("unit ") : QStringLiteral("old ")) +
                          QString::number(i));
        }
    }
}

TEST_F(ScriptsPanelTest, WriteSendsEveryBoxAsItStandsAnEmptyOneAsAnEmptyScript) {
    connectWindow();
    box(0)->setPlainText(QStringLiteral("relay 1 on\nwait 500\n"));
    box(1)->setPlainText(QString());
    box(2)->setPlainText(QStringLiteral("x"));
    box(3)->setPlainText(QString(130, u'a'));
    stored(1) = "was here";
    click(named<QPushButton>("btnSaveScript"));
    EXPECT_EQ(stored(0), "relay 1 on\nwait 500\n");
    EXPECT_EQ(stored(1), "");
    EXPECT_EQ(stored(2), "x");
    EXPECT_EQ(stored(3), std::string(130, 'a'));
    EXPECT_EQ(types(tarn::Command::COMMIT_SCRIPT), (Bytes{1, 2, 3, 4}));
    EXPECT_TRUE(sent(tarn::Command::READ_SCRIPT_CHUNK).empty()); // nothing is read back
}

// Every byte of the code page comes back as it went, the no-break space (0xA0) included, which
// Qt's own plain-text export would have turned into a blank.
TEST_F(ScriptsPanelTest, ScriptsRoundTripByteForByte) {
    connectWindow();
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != '\r') { // a carriage return is a line break to the box, sent back as "\n"
            all.push_back(static_cast<char>(b));
        }
    }
    stored(0) = all;
    stored(1) = "a\xA0"
                "b\n\nc";
    click(named<QPushButton>("btnLoadScript"));
    stored(0).clear();
    stored(1).clear();
    click(named<QPushButton>("btnSaveScript"));
    EXPECT_EQ(stored(0), all);
    EXPECT_EQ(stored(1), "a\xA0"
                         "b\n\nc");
}

// A character the code page lacks goes as "?"; the box keeps what was typed until a read shows
// what the unit holds.
TEST_F(ScriptsPanelTest, CharactersOutsideTheCodePageAreSentAsQuestionMarks) {
    connectWindow();
    box(0)->setFocus();
    // Characters without a key of their own arrive as key events carrying only their text.
    for (QChar c : QStringLiteral("\u03a9 on \u20ac")) {
        QTest::sendKeyEvent(QTest::Click, box(0), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    click(named<QPushButton>("btnSaveScript"));
    EXPECT_EQ(stored(0), "? on \x80");
    EXPECT_EQ(box(0)->toPlainText(), QStringLiteral("\u03a9 on \u20ac"));
    click(named<QPushButton>("btnLoadScript"));
    EXPECT_EQ(box(0)->toPlainText(), QStringLiteral("? on \u20ac"));
}

TEST_F(ScriptsPanelTest, DefaultsWriteFourEmptyScriptsEvenWhenSomeFailThenReadBack) {
    connectWindow();
    for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
        stored(i) = "kept " + std::to_string(i);
    }
    fillBoxes(QStringLiteral("typed "));
    unit().failNextReplies(sim::ReplyFault::Timeout, 2); // the first two chunk writes
    click(named<QPushButton>("btnDefaultScript"));
    EXPECT_EQ(types(tarn::Command::WRITE_SCRIPT_CHUNK), (Bytes{1, 2, 3, 4}));
    for (const Bytes& chunk : sent(tarn::Command::WRITE_SCRIPT_CHUNK)) {
        EXPECT_EQ(chunk.size(), 5U); // id, type, offset, and only the zero byte
    }
    EXPECT_EQ(types(tarn::Command::COMMIT_SCRIPT), (Bytes{3, 4}));
    EXPECT_EQ(types(tarn::Command::READ_SCRIPT_CHUNK), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(box(0)->toPlainText(), QStringLiteral("kept 0"));
    EXPECT_EQ(box(1)->toPlainText(), QStringLiteral("kept 1"));
    EXPECT_EQ(box(2)->toPlainText(), QString());
    EXPECT_EQ(box(3)->toPlainText(), QString());
}

TEST_F(ScriptsPanelTest, RunButtonsStartTheScriptOfTheUnitsMode) {
    struct Case {
        uint8_t mode;
        bool modeReadFails;
        uint8_t startup;
        uint8_t shutdown;
    };
    const Case cases[] = {
        {tarn::MODE_AUTO, false, tarn::SCRIPT_IGNITION_ON, tarn::SCRIPT_IGNITION_OFF},
        {tarn::MODE_MANUAL, false, tarn::SCRIPT_IGNITION_ON, tarn::SCRIPT_IGNITION_OFF},
        {tarn::MODE_VALET, false, tarn::SCRIPT_VALET_IGNITION_ON, tarn::SCRIPT_VALET_IGNITION_OFF},
        {tarn::MODE_VALET, true, tarn::SCRIPT_IGNITION_ON, tarn::SCRIPT_IGNITION_OFF},
    };
    connectWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << (c.modeReadFails ? " failing" : ""));
        unit().settings().mode = c.mode;
        bus().clearCalls();
        unit().failNextReplies(sim::ReplyFault::Timeout, c.modeReadFails ? 1 : 0);
        click(named<Corvane::ButtonCheckBox>("checkboxScriptStartup"));
        unit().failNextReplies(sim::ReplyFault::Timeout, c.modeReadFails ? 1 : 0);
        click(named<Corvane::ButtonCheckBox>("checkboxScriptShutdown"));
        EXPECT_EQ(types(tarn::Command::EXECUTE_SCRIPT), (Bytes{c.startup, c.shutdown}));
    }
    // The menu's items do the same, and "Stop" stops.
    unit().settings().mode = tarn::MODE_AUTO;
    bus().clearCalls();
    window().menu().startupToolStripMenuItem->trigger();
    window().menu().shutdownToolStripMenuItem->trigger();
    window().menu().stopToolStripMenuItem->trigger();
    click(named<QPushButton>("buttonScriptStop"));
    EXPECT_EQ(types(tarn::Command::EXECUTE_SCRIPT), (Bytes{1, 2, 0, 0}));
}

TEST_F(ScriptsPanelTest, ClickingARunButtonDoesNotCheckIt) {
    connectWindow();
    for (Corvane::ButtonCheckBox* run :
         {named<Corvane::ButtonCheckBox>("checkboxScriptStartup"),
          named<Corvane::ButtonCheckBox>("checkboxScriptShutdown")}) {
        ASSERT_TRUE(run->isCheckable());
        click(run);
        EXPECT_FALSE(run->isChecked());
    }
    EXPECT_EQ(unit().runningScript(), tarn::SCRIPT_IGNITION_OFF); // started all the same
}

TEST_F(ScriptsPanelTest, CtrlPlusOnAnyBoxRaisesAllFourByOnePointPerRelease) {
    const double start = pointSize(0);
    for (std::size_t slot : {0, 2, 3}) {
        QTest::keyClick(box(slot), Qt::Key_Equal, Qt::ControlModifier);
    }
    for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
        EXPECT_DOUBLE_EQ(pointSize(i), start + 3) << i;
    }
    QTest::keyClick(box(1), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(pointSize(3), start + 2);
}

TEST_F(ScriptsPanelTest, OtherKeysAndModifiersLeaveTheSizeAlone) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {
        {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier},
        {Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier},
        {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_Equal, Qt::ControlModifier | Qt::AltModifier},
        {Qt::Key_Equal, Qt::NoModifier},
        {Qt::Key_Minus, Qt::ShiftModifier},
        {Qt::Key_A, Qt::ControlModifier},
    };
    const double start = pointSize(0);
    for (const Case& c : cases) {
        QTest::keyRelease(box(1), c.key, c.modifiers);
    }
    for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
        EXPECT_DOUBLE_EQ(pointSize(i), start) << i;
    }
}

TEST_F(ScriptsPanelTest, FirstZoomStepStartsFromTheStartupBox) {
    box(0)->setFont(Corvane::WindowFonts::consolas(14));
    QTest::keyRelease(box(2), Qt::Key_Equal, Qt::ControlModifier);
    for (std::size_t i = 0; i < ScriptsPanel::kSlots; ++i) {
        EXPECT_DOUBLE_EQ(pointSize(i), 15) << i;
    }
}

TEST_F(ScriptsPanelTest, ZoomingOutStopsAtAPositiveSize) {
    for (int i = 0; i < 40; ++i) {
        QTest::keyRelease(box(0), Qt::Key_Minus, Qt::ControlModifier);
    }
    EXPECT_DOUBLE_EQ(pointSize(3), ScriptsPanel::kMinZoomPointSize);
    QTest::keyRelease(box(0), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(pointSize(3), ScriptsPanel::kMinZoomPointSize + 1);
}

TEST_F(ScriptsPanelTest, TabsAndEditorsStartAsTheOperatorExpects) {
    QTabWidget* tabs = named<QTabWidget>("ScriptTabBox");
    ASSERT_EQ(tabs->count(), 4);
    const char* pages[] = {"startup", "shutdown", "valetStartup", "valetShutdown"};
    const char* captions[] = {"Startup", "Shutdown", "Valet Startup", "Valet Shutdown"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tabs->widget(i)->objectName(), QString::fromLatin1(pages[i]));
        EXPECT_EQ(tabs->tabText(i), QString::fromLatin1(captions[i]));
        EXPECT_TRUE(tabs->widget(i)->isAncestorOf(box(std::size_t(i))));
        EXPECT_TRUE(box(std::size_t(i))->toPlainText().isEmpty());
        EXPECT_DOUBLE_EQ(pointSize(std::size_t(i)), ScriptsPanel::kEditorPointSize);
        EXPECT_TRUE(box(std::size_t(i))->font().families().contains(QStringLiteral("Consolas")));
    }
    EXPECT_EQ(tabs->currentIndex(), 0);
}

// A handler that throws ends there: the operator is told, and the event loop never sees it.
TEST(ScriptsPanelGuard, AThrowingDeviceCallIsReportedNotPropagated) {
    Corvane::DeviceSlot slot = std::make_unique<FakeDevice>(FakeDevice::Behaviour::Throwing);
    QWidget column;
    ScriptsPanel panel(&column, slot, Corvane::DesignScale::identity());
    QString shown;
    const auto outcome = answerNextModal([&](QWidget& modal) {
        auto& box = static_cast<QMessageBox&>(modal);
        shown = box.text();
        box.button(QMessageBox::Ok)->click();
    });
    QPushButton* save = findNamed<QPushButton>(column, QStringLiteral("btnSaveScript"));
    EXPECT_NO_THROW(save->click());
    EXPECT_TRUE(outcome->answered);
    EXPECT_EQ(outcome->title, QStringLiteral("Tarnwell (Marlin Inc.)"));
    EXPECT_EQ(shown, QStringLiteral("the unit link broke"));
    // The first write threw, so the others were never reached.
    EXPECT_EQ(static_cast<const FakeDevice&>(*slot).attempts().size(), 1U);
}

} // namespace
} // namespace uitest
