// The switch board dialog over the simulated unit: what the boxes show after opening, what the
// unit receives for each choice, and the menu command that keeps one dialog at a time.

#include "SwitchBoardConfig.h"
#include "DesignScale.h"
#include "SettingsMenu.h"
#include "SwitchPanelPicture.h"
#include "UiTestSupport.h"
#include "WindowFixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Corvane::SwitchBoardConfig;
using Corvane::SwitchPanelPicture;
using Record = std::array<uint8_t, 8>;

constexpr uint8_t X = 255; // no button
constexpr Record kNone{X, X, X, X, X, X, X, X};

class SwitchBoard : public uitest::UiTest {
protected:
    void store(const Record& record) { unit().settings().buttons = record; }

    // Every record the unit was sent, in order.
    static std::vector<Record> writes() {
        std::vector<Record> out;
        for (const uitest::Bytes& b : sent(tarn::Command::SET_BUTTON_CONFIG)) {
            Record r{};
            std::copy(b.begin() + 1, b.begin() + 9, r.begin());
            out.push_back(r);
        }
        return out;
    }

    static Record working(const SwitchBoardConfig& dialog) {
        const tarn::CanMsgConfig& c = dialog.buttonConfig();
        return {c.mode_select, c.startup,    c.shutdown,        c.mode_auto,
                c.mode_manual, c.mode_valet, c.inverter_master, c.inverter_slave};
    }

    // What every box shows, for comparison with the boxes a case expects to be set.
    static std::map<int, std::string> shown(const SwitchBoardConfig& dialog) {
        std::map<int, std::string> out;
        for (int n = 0; n < SwitchBoardConfig::NUM_BUTTONS; ++n) {
            const std::string text = dialog.box(n)->currentText().toStdString();
            if (text != "None") {
                out[n] = text;
            }
        }
        return out;
    }

    // As the operator does it: open the box's list, click the option, and the list closes.
    static void choose(QComboBox& box, int option) {
        box.showPopup();
        QAbstractItemView* view = box.view();
        const QModelIndex item = view->model()->index(option, 0);
        view->scrollTo(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        QApplication::processEvents();
    }
};

struct OpeningCase {
    const char* name;
    Record stored;
    std::map<int, std::string> shown;
    std::vector<Record> writes;
};

TEST_F(SwitchBoard, OpeningShowsTheUnitsRecordAndWritesItBackNormalised) {
    const OpeningCase cases[] = {
        {"nothing assigned", kNone, {}, {}},
        {"two functions",
         {3, 0, X, X, X, X, X, X},
         {{3, "Mode Select"}, {0, "Startup"}},
         {{3, 0, X, X, X, X, X, X}, {3, 0, X, X, X, X, X, X}}},
        {"one button twice: the later function keeps it",
         {5, 5, X, X, X, X, X, X},
         {{5, "Startup"}},
         {{5, 5, X, X, X, X, X, X}, {X, 5, X, X, X, X, X, X}}},
        {"values of 27 and more stay as they are",
         {200, 26, 27, X, X, X, X, 24},
         {{26, "Startup"}, {24, "Inverter Slave"}},
         {{200, 26, 27, X, X, X, X, 24}, {200, 26, 27, X, X, X, X, 24}}},
        {"every function on the last buttons",
         {19, 20, 21, 22, 23, 24, 25, 26},
         {{19, "Mode Select"},
          {20, "Startup"},
          {21, "Shutdown"},
          {22, "Mode Auto"},
          {23, "Mode Manual"},
          {24, "Mode Valet"},
          {25, "Inverter Master"},
          {26, "Inverter Slave"}},
         std::vector<Record>(8, Record{19, 20, 21, 22, 23, 24, 25, 26})},
    };
    for (const OpeningCase& c : cases) {
        SCOPED_TRACE(c.name);
        store(c.stored);
        openDevice();
        SwitchBoardConfig dialog(dev());
        EXPECT_EQ(shown(dialog), c.shown);
        EXPECT_EQ(writes(), c.writes);
        const Record expected = c.writes.empty() ? c.stored : c.writes.back();
        EXPECT_EQ(working(dialog), expected);
        EXPECT_EQ(unit().settings().buttons, expected);
        dev().closeDevice();
    }
}

TEST_F(SwitchBoard, AFailedReadShowsNothingAssignedAndWritesNothing) {
    store({1, 2, 3, 4, 5, 6, 7, 8});
    for (const bool unitThere : {false, true}) {
        SCOPED_TRACE(unitThere ? "the reply is lost" : "no unit");
        if (unitThere) {
            openDevice();
            unit().failNextReplies(sim::ReplyFault::Timeout, 1);
        }
        SwitchBoardConfig dialog(dev());
        EXPECT_TRUE(shown(dialog).empty());
        EXPECT_EQ(working(dialog), kNone);
        EXPECT_TRUE(writes().empty());
    }
}

struct ChoiceCase {
    const char* name;
    Record stored;
    int button;
    int option;
    std::vector<Record> writes;
    std::map<int, std::string> shown;
};

TEST_F(SwitchBoard, AChoiceIsWrittenAtOnceAndMovesTheFunction) {
    const ChoiceCase cases[] = {
        {"Shutdown moves from button 7 to button 9",
         {X, X, 7, X, X, X, X, X},
         9,
         SwitchBoardConfig::SHUTDOWN_IDX,
         {{X, X, X, X, X, X, X, X}, {X, X, 9, X, X, X, X, X}},
         {{9, "Shutdown"}}},
        {"Mode Auto replaces Shutdown on its button",
         {X, X, 9, X, X, X, X, X},
         9,
         SwitchBoardConfig::MODE_AUTO_IDX,
         {{X, X, X, 9, X, X, X, X}},
         {{9, "Mode Auto"}}},
        {"a function moves onto a button that held another",
         {X, 4, 9, X, X, X, X, X},
         9,
         SwitchBoardConfig::STARTUP_IDX,
         {{X, X, X, X, X, X, X, X}, {X, 9, X, X, X, X, X, X}},
         {{9, "Startup"}}},
        {"None clears the button",
         {X, X, 9, X, X, X, 0, X},
         9,
         SwitchBoardConfig::NONE_IDX,
         {{X, X, X, X, X, X, 0, X}},
         {{0, "Inverter Master"}}},
        {"the red-ringed button",
         kNone,
         26,
         SwitchBoardConfig::INVERTER_SLAVE,
         {{X, X, X, X, X, X, X, 26}},
         {{26, "Inverter Slave"}}},
        {"choosing what the box shows writes nothing",
         {X, X, 9, X, X, X, X, X},
         9,
         SwitchBoardConfig::SHUTDOWN_IDX,
         {},
         {{9, "Shutdown"}}},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        store(c.stored);
        openDevice();
        SwitchBoardConfig dialog(dev());
        uitest::showActive(dialog);
        uitest::bus().clearCalls();

        choose(*dialog.box(c.button), c.option);

        EXPECT_EQ(writes(), c.writes);
        EXPECT_EQ(shown(dialog), c.shown);
        EXPECT_EQ(unit().settings().buttons, c.writes.empty() ? c.stored : c.writes.back());
        dev().closeDevice();
    }
}

TEST_F(SwitchBoard, EveryBoxStandsAboveItsButtonWhateverTheFont) {
    const QFont original = QApplication::font();
    for (const int pointSize : {0, 14}) {
        SCOPED_TRACE(pointSize);
        if (pointSize > 0) {
            QFont larger = original;
            larger.setPointSize(pointSize);
            QApplication::setFont(larger);
        }
        SwitchBoardConfig dialog(dev());
        const Corvane::DesignScale scale = Corvane::DesignScale::of(dialog);
        const QRect client(QPoint(0, 0), dialog.size());
        for (int n = 0; n < SwitchBoardConfig::NUM_BUTTONS; ++n) {
            SCOPED_TRACE(n);
            const QRect box = dialog.box(n)->geometry();
            const QPoint centre = SwitchPanelPicture::buttonCentre(n);
            const int radius = SwitchPanelPicture::buttonRadius(n);
            const double top = (centre.y() - radius) * scale.factorY();
            EXPECT_TRUE(client.contains(box));
            EXPECT_LE(box.bottom(), top);
            EXPECT_GE(box.bottom(), top - 30 * scale.factorY()); // just above, not far off
            EXPECT_LE(box.left(), centre.x() * scale.factorX());
            EXPECT_GE(box.right(), centre.x() * scale.factorX());
            // The longest option is shown whole in the closed box.
            QComboBox& cbo = *dialog.box(n);
            cbo.setCurrentIndex(SwitchBoardConfig::INVERTER_MASTER);
            QStyleOptionComboBox option;
            option.initFrom(&cbo);
            const QRect text = cbo.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, &cbo);
            EXPECT_LE(cbo.fontMetrics().horizontalAdvance(cbo.currentText()), text.width());
        }
    }
    QApplication::setFont(original);
}

TEST_F(SwitchBoard, TheBoxesOfferTheNineOptionsAsDropDownLists) {
    SwitchBoardConfig dialog(dev());
    EXPECT_EQ(dialog.windowTitle(), "Switch Board Configuration");
    const auto boxes = dialog.findChildren<QComboBox*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(boxes.size(), SwitchBoardConfig::NUM_BUTTONS);
    for (int n = 0; n < SwitchBoardConfig::NUM_BUTTONS; ++n) {
        QComboBox* box = boxes[n]; // created in button order
        EXPECT_EQ(box, dialog.box(n));
        EXPECT_FALSE(box->isEditable());
        EXPECT_EQ(box->property("tag").toInt(), n);
        QStringList texts;
        for (int i = 0; i < box->count(); ++i) {
            texts << box->itemText(i);
        }
        EXPECT_EQ(texts.join(u','), "None,Mode Select,Startup,Shutdown,Mode Auto,Mode Manual,"
                                    "Mode Valet,Inverter Master,Inverter Slave");
    }
}

// ---- The menu command -------------------------------------------------------------------

class SwitchBoardMenu : public SwitchBoard {
protected:
    void SetUp() override {
        SwitchBoard::SetUp();
        slot_ = std::make_unique<tarn::TarnUsb>();
        window_ = std::make_unique<QWidget>();
        menu_ = std::make_unique<Corvane::SettingsMenu>(slot_, *window_);
        window_->show();
    }
    void TearDown() override {
        menu_.reset();
        window_.reset();
        slot_.reset();
        SwitchBoard::TearDown();
    }

    static std::size_t reads() { return sent(tarn::Command::GET_BUTTON_CONFIG).size(); }

    std::unique_ptr<tarn::TarnInterface> slot_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<Corvane::SettingsMenu> menu_;
};

TEST_F(SwitchBoardMenu, WhileOpenTheCommandOnlyRaisesItAndAfterClosingReadsAfresh) {
    store({4, X, X, X, X, X, X, X});
    ASSERT_TRUE(slot_->open());
    uitest::bus().clearCalls();

    menu_->switchBoardToolStripMenuItem_Click();
    QPointer<SwitchBoardConfig> first = menu_->switchBoard();
    const SwitchBoardConfig* opened = first.data();
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_FALSE(opened->isModal());
    EXPECT_EQ(first->box(4)->currentText(), "Mode Select");
    EXPECT_EQ(reads(), 1u);

    // Changed by other means meanwhile: the open dialog keeps its own copy.
    store({X, 4, X, X, X, X, X, X});
    menu_->switchBoardToolStripMenuItem_Click();
    EXPECT_EQ(menu_->switchBoard(), first.data());
    EXPECT_EQ(first->box(4)->currentText(), "Mode Select");
    EXPECT_EQ(reads(), 1u);

    first->close();
    // Gone for the menu at once, even before its deferred deletion has run.
    EXPECT_EQ(menu_->switchBoard(), nullptr);
    menu_->switchBoardToolStripMenuItem_Click();
    QPointer<SwitchBoardConfig> second = menu_->switchBoard();
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(second.data(), first.data());
    EXPECT_EQ(second->box(4)->currentText(), "Startup");
    EXPECT_EQ(reads(), 2u);
    QApplication::processEvents();
    EXPECT_TRUE(first.isNull());
}

TEST_F(SwitchBoardMenu, TheDialogNeverOutlivesTheWindowOrTheDevice) {
    ASSERT_TRUE(slot_->open());
    for (const bool byClosing : {true, false}) {
        SCOPED_TRACE(byClosing ? "closing the window" : "tearing the window down");
        menu_->switchBoardToolStripMenuItem_Click();
        QPointer<SwitchBoardConfig> dialog = menu_->switchBoard();
        ASSERT_FALSE(dialog.isNull());
        if (byClosing) {
            window_->close();
        } else {
            menu_.reset(); // what the window's teardown does before it empties the slot
        }
        EXPECT_TRUE(dialog.isNull());
    }
    slot_.reset();
    QApplication::processEvents();
}

TEST_F(SwitchBoardMenu, WithTheDeviceGoneTheCommandOpensNothing) {
    slot_.reset();
    menu_->switchBoardToolStripMenuItem_Click();
    EXPECT_EQ(menu_->switchBoard(), nullptr);
}

// ---- From the main window's menu ---------------------------------------------------------

class SettingsFromWindow : public uitest::WindowTest {
protected:
    // Whether the window still had its device when `dialog` was destroyed; valid once it is.
    std::shared_ptr<bool> deviceThereWhenDestroyed(SwitchBoardConfig& dialog) {
        auto there = std::make_shared<bool>(false);
        QObject::connect(&dialog, &QObject::destroyed,
                         [this, there] { *there = window().device() != nullptr; });
        return there;
    }
};

TEST_F(SettingsFromWindow, TheMenuOpensTheDialogsAndClosingTheWindowClosesTheSwitchBoardFirst) {
    unit().settings().buttons = {X, X, X, 12, X, X, X, X};
    connectWindow();
    uitest::showActive(window());

    auto network = uitest::answerNextModal([](QWidget& dialog) { dialog.close(); });
    window().menu().networkSettingsToolStripMenuItem->trigger();
    EXPECT_TRUE(network->answered);
    EXPECT_EQ(network->title, "IPv4 Settings");
    EXPECT_TRUE(sent(tarn::Command::SET_IP_SETTINGS).empty());

    window().menu().switchBoardToolStripMenuItem->trigger();
    QPointer<SwitchBoardConfig> dialog = window().settingsMenu().switchBoard();
    ASSERT_FALSE(dialog.isNull());
    EXPECT_EQ(dialog->box(12)->currentText(), "Mode Auto");

    const auto deviceThere = deviceThereWhenDestroyed(*dialog);
    window().close();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(*deviceThere);
    EXPECT_EQ(window().device(), nullptr);
}

TEST_F(SettingsFromWindow, TearingTheWindowDownWithTheSwitchBoardOpenDestroysItFirst) {
    connectWindow();
    window().switchBoardToolStripMenuItem_Click();
    QPointer<SwitchBoardConfig> dialog = window().settingsMenu().switchBoard();
    ASSERT_FALSE(dialog.isNull());
    const auto deviceThere = deviceThereWhenDestroyed(*dialog);
    window().dispose();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(*deviceThere);
    // Afterwards the command has no device to lend and opens nothing.
    window().switchBoardToolStripMenuItem_Click();
    EXPECT_EQ(window().settingsMenu().switchBoard(), nullptr);
}

} // namespace
