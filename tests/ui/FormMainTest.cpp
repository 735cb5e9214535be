// The main window as built: its controls and menu, the column headings over the rows at more
// than one font, factory reset through the real message box, teardown, and the program's run.

#include "ClickLabel.h"
#include "ConsoleProgram.h"
#include "DropDownList.h"
#include "Readings.h"
#include "RelayChannel.h"
#include "WindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <stdexcept>
#include <utility>

namespace uitest {
namespace {

using Corvane::FormMain;

QString textOf(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
        return group->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        return edit->text();
    }
    return {};
}

// Top edge in the window's coordinates.
int topIn(const QWidget& window, const QWidget* w) {
    return w->mapTo(&window, QPoint(0, 0)).y();
}

class FormMainTest : public WindowTest {};

TEST_F(FormMainTest, ControlsCarryTheirNamesAndStartingTexts) {
    struct Named {
        const char* name;
        const char* text;
    };
    const Named named[] = {
        {"groupChannels", "Channels (double click name to edit)"},
        {"labelConnectionStatus", "Disconnected"},
        {"labelSerialNumber", "Serial Number"},
        {"labelBluetoothValue", "Unknown"},
        {"labelUnitId", "Unit Id"},
        {"labelMode", "Mode"},
        {"labelPin", "PIN"},
        {"labelBluetooth", "Bluetooth:"},
        {"labelGroup1", "Group 1-3"},
        {"labelGroup4", "Group 4-6"},
        {"labelGroup7", "Group 7-9"},
        {"labelGroup10", "Group 10-12"},
        {"txtPin", ""},
        {"chkPin", ""},
        {"checkBoxEnableBluetooth", ""},
        {"groupVoltages", ""},
        {"checkboxScriptStartup", "Run Startup"},
        {"checkboxScriptShutdown", "Run Shutdown"},
        {"buttonScriptStop", "Stop Script"},
        {"btnLoadScript", "Read All Scripts"},
        {"btnSaveScript", "Write All Scripts"},
        {"btnDefaultScript", "Script Defaults"},
        {"tableLayoutPanelCenterRows", ""},
        {"tableLayoutPanelRightRows", ""},
        {"ScriptTabBox", ""},
    };
    for (const Named& n : named) {
        const auto* w = window().findChild<QWidget*>(QString::fromLatin1(n.name));
        ASSERT_NE(w, nullptr) << n.name;
        EXPECT_EQ(textOf(w), QString::fromUtf8(n.text)) << n.name;
    }
    for (int g = 1; g <= 12; ++g) {
        const auto* box = window().findChild<QCheckBox*>(QStringLiteral("chkGrp%1").arg(g));
        ASSERT_NE(box, nullptr) << g;
        EXPECT_FALSE(box->isChecked());
    }
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Tarnwell v1.2 (Marlin Inc.)"));
    EXPECT_FALSE(window().windowIcon().pixmap(32, 32).isNull());
    const FormMain fresh; // the fixture holds its window's timer
    const auto* timer = fresh.findChild<QTimer*>(QStringLiteral("timer1"));
    ASSERT_EQ(timer, fresh.timer1());
    EXPECT_EQ(timer->interval(), 1);
    EXPECT_TRUE(timer->isActive());
}

TEST_F(FormMainTest, ListsOfferTheirItemsAndShowNothingYet) {
    const auto items = [](const QComboBox* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i) {
            out << list->itemText(i);
        }
        return out;
    };
    EXPECT_EQ(items(named<Corvane::DropDownList>("cboMode")),
              (QStringList{"AUTO", "MANUAL", "VALET"}));
    EXPECT_EQ(items(named<Corvane::DropDownList>("cboId")),
              (QStringList{"Master", "Slave 1", "Slave 2", "Slave 3"}));
    EXPECT_FALSE(named<Corvane::DropDownList>("cboMode")->isEditable());
    EXPECT_FALSE(named<Corvane::DropDownList>("cboId")->isEditable());
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), -1);
    EXPECT_EQ(named<Corvane::DropDownList>("cboId")->currentIndex(), -1);
}

TEST_F(FormMainTest, MenuHoldsItsNineCommandsInOrder) {
    // The window's own three menus, then the tools beside them.
    const QList<QAction*> menus = window().menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    const QStringList titles{"File", "Settings", "Run", "Tools"};
    const QList<QStringList> items{
        {"Save Config (*.xml)", "Load Config (*.xml)", "Factory Reset", "Exit"},
        {"Network", "Switch Board"},
        {"Stop", "Startup", "Shutdown"},
        {"Compare with File\u2026", "Compare Two Files\u2026", "Backups\u2026", "", "Live Plot",
         "Record Telemetry\u2026"}};
    const QList<QStringList> names{
        {"saveConfigXMLToolStripMenuItem", "loadConfigxmlToolStripMenuItem",
         "factoryResetToolStripMenuItem", "exitToolStripMenuItem"},
        {"networkSettingsToolStripMenuItem", "switchBoardToolStripMenuItem"},
        {"stopToolStripMenuItem", "startupToolStripMenuItem", "shutdownToolStripMenuItem"},
        {"compareWithFileToolStripMenuItem", "compareTwoFilesToolStripMenuItem",
         "backupsToolStripMenuItem", "", "livePlotToolStripMenuItem",
         "recordTelemetryToolStripMenuItem"}};
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(menus[m]->text(), titles[m]);
        QStringList texts, objectNames;
        for (const QAction* a : menus[m]->menu()->actions()) {
            texts << a->text();
            objectNames << a->objectName();
        }
        EXPECT_EQ(texts, items[m]);
        EXPECT_EQ(objectNames, names[m]);
    }
}

TEST_F(FormMainTest, ColumnTwoStacksItsRowsAndReadingsInOrder) {
    showActive(window());
    const char* order[] = {"labelConnectionStatus",
                           "labelSerialNumber",
                           "cboId",
                           "cboMode",
                           "txtPin",
                           "checkBoxEnableBluetooth",
                           "labelBluetoothValue",
                           "chkGrp1",
                           "chkGrp4",
                           "chkGrp7",
                           "chkGrp10",
                           "groupVoltages"};
    int last = -1;
    for (const char* name : order) {
        const auto* w = window().findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_GT(topIn(window(), w), last) << name;
        last = topIn(window(), w);
    }
    const char* boxes[] = {"txtTotalCurrent", "txtVoltage",  "txtIgn1",     "txtIgn2",    "txtIgn3",
                           "txtIntTemp1",     "txtIntTemp2", "txtIntTemp3", "txtExtTemp1"};
    const char* units[] = {"A", "V", "V", "V", "V", "C", "C", "C", "C"};
    const bool sansSerif[] = {true, false, false, false, false, true, true, true, true};
    last = -1;
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        const auto* box = window().findChild<QLineEdit*>(QString::fromLatin1(boxes[i]));
        ASSERT_NE(box, nullptr) << boxes[i];
        EXPECT_GT(box->y(), last);
        last = box->y();
        EXPECT_NEAR(box->width(), window().designScale().x(45), 1); // both edges are scaled
        EXPECT_TRUE(box->alignment() & Qt::AlignRight);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->font().families().contains(QStringLiteral("Microsoft Sans Serif")),
                  sansSerif[i])
            << boxes[i];
        const QString stem = QString::fromLatin1(boxes[i]).mid(3);
        const auto* unit = window().findChild<QLabel*>(QStringLiteral("labelUnit") + stem);
        ASSERT_NE(unit, nullptr);
        EXPECT_EQ(unit->text(), QString::fromLatin1(units[i]));
        EXPECT_GE(unit->x(), box->geometry().right()); // name, box, unit from left to right
        const auto* name = window().findChild<QLabel*>(QStringLiteral("label") + stem);
        ASSERT_NE(name, nullptr);
        EXPECT_LE(name->geometry().right(), box->x());
    }
    EXPECT_EQ(window().findChild<QLabel*>(QStringLiteral("labelIntTemp1"))->text(),
              QStringLiteral("Int. Temp 1"));
}

TEST_F(FormMainTest, TwelveRowsAndAHiddenInverterRow) {
    showActive(window());
    for (std::size_t i = 0; i < window().channels().size(); ++i) {
        const Corvane::RelayChannel* row = window().channels()[i];
        EXPECT_EQ(row->channel(), i);
        EXPECT_FALSE(row->inverter());
        EXPECT_EQ(row->lblChannel->text(), QStringLiteral("Ch.%1").arg(i + 1));
        EXPECT_TRUE(row->lblChannel->isVisible());
        EXPECT_EQ(row->lblChannel->parentWidget(), window().groupChannels());
    }
    const Corvane::RelayChannel& inverter = window().inverterChannel();
    EXPECT_EQ(inverter.channel(), 12U);
    EXPECT_TRUE(inverter.inverter());
    EXPECT_FALSE(inverter.lblChannel->isVisible());
    EXPECT_FALSE(inverter.txtBoxRelayStatus->isVisible());
}

// The headings and the rows go through the same design-pixel scale: at any font each heading
// stands over its column, and none runs into the next.
class HeadingTest : public UiTest, public testing::WithParamInterface<double> {
protected:
    void SetUp() override {
        UiTest::SetUp();
        saved_ = QApplication::font();
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(GetParam());
        QApplication::setFont(font);
    }
    void TearDown() override {
        QApplication::setFont(saved_);
        UiTest::TearDown();
    }
    QFont saved_;
};

TEST_P(HeadingTest, HeadingsStandOverTheirRowColumns) {
    FormMain window;
    window.timer1()->stop();
    showActive(window);
    const Corvane::DesignScale& scale = window.designScale();
    const Corvane::RelayChannel& row = *window.channels()[0];
    const QWidget* columns[] = {row.textBoxCurrent, row.txtBoxRelayStatus, row.comboBoxFuse,
                                row.txtBoxCurrentSq, row.checkBox1};
    const char* names[] = {"labelHeadingCurrent", "labelHeadingStatus", "labelHeadingFuseRating",
                           "labelHeadingI2t", "labelHeadingProtect"};
    const char* texts[] = {"Current (A)", "Status", "Fuse Rating (A)", "I\u00b2 t (A\u00b2 s)",
                           "Protect"};
    std::vector<const QLabel*> headings;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const auto* heading = window.groupChannels()->findChild<QLabel*>(names[i]);
        ASSERT_NE(heading, nullptr) << names[i];
        EXPECT_EQ(heading->text(), QString::fromUtf8(texts[i]));
        const QRect column = columns[i]->geometry();
        EXPECT_GE(heading->x(), column.left() - scale.x(5)) << names[i];
        EXPECT_LT(heading->x(), column.right()) << names[i];
        // Above the first row, under the box's caption.
        EXPECT_LE(heading->y() + heading->fontMetrics().height(), column.top()) << names[i];
        headings.push_back(heading);
    }
    for (std::size_t i = 0; i + 1 < headings.size(); ++i) {
        const int textEnd =
            headings[i]->x() + headings[i]->fontMetrics().horizontalAdvance(headings[i]->text());
        EXPECT_LE(textEnd, headings[i + 1]->x()) << names[i];
        EXPECT_LE(textEnd, headings[i]->geometry().right() + 1) << names[i] << " is clipped";
    }
    // The three columns and the client area scale alike.
    const QWidget* center =
        window.findChild<QWidget*>(QStringLiteral("tableLayoutPanelCenterRows"));
    const QWidget* right = window.findChild<QWidget*>(QStringLiteral("tableLayoutPanelRightRows"));
    EXPECT_EQ(center->x(), scale.x(635));
    EXPECT_NEAR(center->width(), scale.x(135), 1);
    EXPECT_EQ(right->x(), scale.x(770));
    EXPECT_EQ(window.size(), scale.size(1102, 518));
}

INSTANTIATE_TEST_SUITE_P(Fonts, HeadingTest, testing::Values(8.0, 9.0, 12.0));

class FactoryResetTest : public WindowTest {
protected:
    QAction* command() { return window().menu().factoryResetToolStripMenuItem; }
};

TEST_F(FactoryResetTest, WithNoUnitNothingIsAsked) {
    const auto outcome = answerNextModal([](QWidget& modal) { modal.close(); }, 100);
    command()->trigger();
    QTest::qWait(150); // the look-out has given up before the next test
    EXPECT_FALSE(outcome->answered);
    EXPECT_TRUE(sent(tarn::Command::FACTORY_RESET).empty());
}

TEST_F(FactoryResetTest, CancelLeavesTheUnitOpenAndUntouched) {
    connectWindow();
    unit().settings().mode = tarn::MODE_VALET;
    const auto outcome = answerNextModal([](QWidget& modal) {
        static_cast<QMessageBox&>(modal).button(QMessageBox::Cancel)->click();
    });
    command()->trigger();
    EXPECT_TRUE(outcome->answered);
    EXPECT_FALSE(outcome->forced);
    EXPECT_TRUE(windowDev().isOpen());
    EXPECT_TRUE(sent(tarn::Command::FACTORY_RESET).empty());
    EXPECT_EQ(unit().settings().mode, tarn::MODE_VALET);
}

TEST_F(FactoryResetTest, OkAsksResetsTheUnitAndClosesTheDevice) {
    connectWindow();
    unit().settings().mode = tarn::MODE_VALET;
    unit().settings().names[0] = "Winch";
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    const auto outcome = answerNextModal([&](QWidget& modal) {
        auto& box = static_cast<QMessageBox&>(modal);
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
        box.button(QMessageBox::Ok)->click();
    });
    command()->trigger();
    ASSERT_TRUE(outcome->answered);
    EXPECT_EQ(outcome->title, QStringLiteral("Tarnwell (Marlin Inc.)"));
    EXPECT_EQ(text, QStringLiteral("Reset all configurations to factory defaults?"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(sent(tarn::Command::FACTORY_RESET).size(), 1U);
    EXPECT_EQ(unit().settings().mode, tarn::MODE_AUTO);
    EXPECT_EQ(unit().settings().names[0], "Channel 1");
    EXPECT_FALSE(windowDev().isOpen());
}

// Where in the bus's record a call of this kind first comes, or -1.
long firstCall(sim::Call kind, std::size_t from = 0) {
    const auto& calls = bus().calls();
    for (std::size_t i = from; i < calls.size(); ++i) {
        if (calls[i].call == kind) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

long firstStreamDisable() {
    const auto& calls = bus().calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].call == sim::Call::BulkTransfer && calls[i].endpoint == 0x02 &&
            calls[i].data == Bytes{0x00, 0x40}) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

TEST_F(FormMainTest, ClosingWithAUnitOpenDisablesTheStreamBeforeTheDeviceCloses) {
    connectWindow();
    ASSERT_TRUE(windowDev().sendDataStreamEnable());
    ASSERT_TRUE(unit().streaming());
    bus().clearCalls();
    window().close();
    const long disable = firstStreamDisable();
    const long close = firstCall(sim::Call::Close);
    ASSERT_GE(disable, 0);
    ASSERT_GE(close, 0);
    EXPECT_LT(disable, close);
    EXPECT_LT(disable, firstCall(sim::Call::ReleaseInterface));
    EXPECT_FALSE(unit().streaming());
    EXPECT_TRUE(window().disposed());
    EXPECT_EQ(window().device(), nullptr);
    EXPECT_FALSE(window().timer1()->isActive());

    // Disposing again, and destroying the window, do nothing more.
    const std::size_t calls = bus().calls().size();
    window().dispose();
    window_.reset();
    EXPECT_EQ(bus().calls().size(), calls);
}

void clickButtons(const QWidget& parent) {
    for (QPushButton* button : parent.findChildren<QPushButton*>()) {
        button->click();
    }
}

// Once the window is torn down its device is gone: no control, menu command or tick may reach
// for it, nor open a dialog on its behalf. Each kind of control is worked as the operator would.
TEST_F(FormMainTest, AfterTeardownNoControlReachesForTheDevice) {
    showActive(window());
    connectWindow();
    window().dispose();
    bus().clearCalls();
    Corvane::RelayChannel& row = *window().channels().at(0);
    const auto click = [](QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    };
    const auto pickNext = [](QComboBox* list) {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
    };
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"relay buttons", [&] { clickButtons(*window().groupChannels()); }},
        {"channel name", [&] { click(row.lblChannel); }},
        {"fuse rating",
         [&] {
             pickNext(row.comboBoxFuse);
             pickNext(row.comboBoxFuse);
         }},
        {"protect", [&] { click(row.checkBox1); }},
        {"check boxes",
         [&] {
             for (const char* name : {"chkPin", "checkBoxEnableBluetooth", "chkGrp1"}) {
                 click(named<QCheckBox>(QString::fromLatin1(name)));
             }
         }},
        {"lists",
         [&] {
             pickNext(named<QComboBox>("cboMode"));
             pickNext(named<QComboBox>("cboId"));
         }},
        {"script buttons", [&] { clickButtons(*named("tableLayoutPanelRightRows")); }},
        {"menu",
         [&] {
             for (QAction* menu : window().menuBar()->actions()) {
                 for (QAction* item : menu->menu()->actions()) {
                     item->trigger();
                 }
             }
         }},
        {"tick", [&] { window().timer1_Tick(); }},
    };
    for (const auto& [what, act] : actions) {
        SCOPED_TRACE(what);
        const auto modal = answerNextModal([](QWidget& dialog) { dialog.close(); }, 50);
        act();
        QTest::qWait(70); // the look-out has given up before the next action
        EXPECT_FALSE(modal->answered);
        EXPECT_TRUE(bus().calls().empty());
    }
}

TEST_F(FormMainTest, ClosingWithNoUnitSendsNothing) {
    bus().clearCalls();
    window().close();
    EXPECT_TRUE(bus().transfers().empty());
    EXPECT_EQ(window().device(), nullptr);
}

// The program's body: the window is torn down however the event loop ends.
TEST_F(FormMainTest, ExitEndsTheLoopAndTearsTheWindowDown) {
    window_.reset();
    QPointer<FormMain> built;
    const int code = Corvane::ConsoleProgram::run(*qApp, [&](FormMain& w) {
        built = &w;
        ASSERT_TRUE(w.device()->open());
        w.device()->sendDataStreamEnable();
        QTimer::singleShot(0, &w, [&w] { w.menu().exitToolStripMenuItem->trigger(); });
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(built.isNull());
    EXPECT_FALSE(unit().streaming());
    EXPECT_GE(firstStreamDisable(), 0);
}

TEST_F(FormMainTest, AnErrorStillTearsTheWindowDown) {
    window_.reset();
    struct Case {
        std::function<void(FormMain&)> hook;
        int code;
    };
    const Case cases[] = {
        {[](FormMain& w) { QTimer::singleShot(0, &w, [] { QCoreApplication::exit(3); }); }, 3},
        {[](FormMain&) { throw std::runtime_error("no room"); }, 1},
    };
    for (const Case& c : cases) {
        QPointer<FormMain> built;
        const int code = Corvane::ConsoleProgram::run(*qApp, [&](FormMain& w) {
            built = &w;
            ASSERT_TRUE(w.device()->open());
            bus().clearCalls();
            c.hook(w);
        });
        EXPECT_EQ(code, c.code);
        EXPECT_TRUE(built.isNull());
        EXPECT_GE(firstCall(sim::Call::Close), 0); // the device was closed on the way out
    }
}

} // namespace
} // namespace uitest
