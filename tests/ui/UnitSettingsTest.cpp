// The centre column's settings, driven as the operator drives them, against the simulated unit:
// what reaches the unit and what the controls show afterwards.

#include "UnitSettings.h"
#include "DropDownList.h"
#include "FakeDevice.h"
#include "FocusLineEdit.h"
#include "WindowFixture.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

namespace uitest {
namespace {

using Corvane::UnitSettings;

constexpr uint32_t kPin2719 = 0x09010702; // 2, 7, 1, 9 from byte 0 up

class UnitSettingsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        showActive(window());
    }
    UnitSettings& settings() { return window().unitSettings(); }
    std::vector<uint32_t> pinWrites() { return sentValues(tarn::Command::SET_MODE_PASSWORD, 4, 4); }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
    // Shows a PIN-protected unit with `pin` in the controls and forgets the calls.
    void showPin(uint32_t pin) {
        unit().settings().pin = pin;
        window().updatePin();
        bus().clearCalls();
    }
};

TEST(PinCode, TextToCodeAndBack) {
    struct Case {
        const char* text;
        std::optional<uint32_t> code;
    };
    const Case cases[] = {
        {"2719", kPin2719},      {"0000", 0x00000000}, {"7", 0x07000000},
        {" 0481 ", 0x01080400},  {"9999", 0x09090909}, {"00001234", 0x04030201},
        {"10000", std::nullopt}, {"", std::nullopt},   {"12a4", std::nullopt},
        {"-1", std::nullopt},    {"+5", std::nullopt}, {"99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnitSettings::pinCode(QString::fromLatin1(c.text)), c.code) << c.text;
    }
    EXPECT_EQ(UnitSettings::pinText(kPin2719), QStringLiteral("2719"));
    EXPECT_EQ(UnitSettings::pinText(0x00000000), QStringLiteral("0000"));
    EXPECT_EQ(UnitSettings::pinText(0xFFFFFFFF), std::nullopt);
    EXPECT_EQ(UnitSettings::pinText(0x0A010203), std::nullopt); // byte 3 is 10
}

// The refresh from the unit: a valid PIN turns the box on, which writes it back once; anything
// else turns it off and leaves the text alone.
TEST_F(UnitSettingsTest, UpdatePinShowsWhatTheUnitHolds) {
    struct Case {
        uint32_t unitPin;
        bool checked;
        const char* text;
        std::vector<uint32_t> writes;
    };
    const Case cases[] = {
        {0xFFFFFFFF, false, "5555", {}},          {0x0A010203, false, "5555", {}}, // byte 3 is 10
        {0x01000009, true, "9001", {0x01000009}}, {kPin2719, true, "2719", {kPin2719}},
        {0x00000000, true, "0000", {0x00000000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        named<QCheckBox>("chkPin")->setChecked(false);
        named<Corvane::FocusLineEdit>("txtPin")->setText(QStringLiteral("5555"));
        connectWindow();
        unit().settings().pin = c.unitPin;
        window().updatePin();
        EXPECT_EQ(named<QCheckBox>("chkPin")->isChecked(), c.checked);
        EXPECT_EQ(named<Corvane::FocusLineEdit>("txtPin")->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(pinWrites(), c.writes);
        EXPECT_EQ(unit().settings().pin, c.unitPin);
        windowDev().closeDevice();
    }
}

TEST_F(UnitSettingsTest, CheckingWithAnEmptyBoxWritesTheDefaultTwiceThenRefreshes) {
    connectWindow();
    ASSERT_TRUE(named<Corvane::FocusLineEdit>("txtPin")->text().isEmpty());
    click(named<QCheckBox>("chkPin"));
    EXPECT_EQ(pinWrites(), (std::vector<uint32_t>{kPin2719, kPin2719}));
    EXPECT_EQ(commandsSent(), (Bytes{0x35, 0x35, 0x36})); // the refresh comes last
    EXPECT_EQ(unit().settings().pin, kPin2719);
    EXPECT_TRUE(named<QCheckBox>("chkPin")->isChecked());
    EXPECT_EQ(named<Corvane::FocusLineEdit>("txtPin")->text(), QStringLiteral("2719"));
}

TEST_F(UnitSettingsTest, UncheckingClearsThePinAndKeepsTheText) {
    connectWindow();
    showPin(0x04030201);
    ASSERT_TRUE(named<QCheckBox>("chkPin")->isChecked());
    click(named<QCheckBox>("chkPin"));
    EXPECT_EQ(pinWrites(), std::vector<uint32_t>{UnitSettings::kNoPin});
    EXPECT_EQ(sent(tarn::Command::GET_MODE_PASSWORD).size(), 1U);
    EXPECT_EQ(unit().settings().pin, UnitSettings::kNoPin);
    EXPECT_FALSE(named<QCheckBox>("chkPin")->isChecked());
    EXPECT_EQ(named<Corvane::FocusLineEdit>("txtPin")->text(), QStringLiteral("1234"));
}

TEST_F(UnitSettingsTest, TypingWritesAfterEachKeystrokeAndTheRefreshPadsToFourDigits) {
    connectWindow();
    showPin(0x04030201);
    Corvane::FocusLineEdit* pin = named<Corvane::FocusLineEdit>("txtPin");
    click(pin);
    EXPECT_TRUE(window().pinChange());
    QTest::keyClick(pin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pin, Qt::Key_Delete); // an empty box is no PIN: nothing is written
    QTest::keyClicks(pin, QStringLiteral("4815"));
    EXPECT_EQ(pinWrites(), (std::vector<uint32_t>{0x04000000, 0x08040000, 0x01080400, 0x05010804}));

    QTest::keyClick(pin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(pin, QStringLiteral("7"));
    EXPECT_EQ(unit().settings().pin, 0x07000000U);
    EXPECT_EQ(pin->text(), QStringLiteral("7"));

    click(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(1))); // the operator moves on
    EXPECT_FALSE(window().pinChange());
    window().updatePin();
    EXPECT_EQ(pin->text(), QStringLiteral("0007"));
}

// A refresh that changes any box writes the unit's own mask back once, never a mask made of
// some old and some new flags.
TEST_F(UnitSettingsTest, RefreshingGroupsWritesOnlyTheUnitsOwnMask) {
    struct Case {
        uint16_t shown;
        uint16_t unit;
        std::vector<uint32_t> writes;
    };
    const Case cases[] = {
        {0x000, 0xA05, {0xA05}},
        {0xA05, 0x003, {0x003}},
        {0x003, 0x003, {}},
        {0x003, 0xF003, {}}, // bits 12 to 15 are not channels
    };
    connectWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        unit().settings().groups = c.shown;
        ASSERT_TRUE(settings().updateGroups());
        ASSERT_EQ(settings().groupMask(), c.shown);
        bus().clearCalls();
        unit().settings().groups = c.unit;
        ASSERT_TRUE(settings().updateGroups());
        EXPECT_EQ(sentValues(tarn::Command::SET_CHANNEL_GROUPS, 1, 2), c.writes);
        EXPECT_EQ(settings().groupMask(), c.unit & 0x0FFF);
    }
}

TEST_F(UnitSettingsTest, ClickingAGroupBoxWritesTheWholeMask) {
    connectWindow();
    unit().settings().groups = 0x101;
    settings().updateGroups();
    bus().clearCalls();
    click(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(12)));
    EXPECT_EQ(sentValues(tarn::Command::SET_CHANNEL_GROUPS, 1, 2), std::vector<uint32_t>{0x901});
    EXPECT_EQ(unit().settings().groups, 0x901);
}

TEST_F(UnitSettingsTest, BluetoothBoxWritesItsStateAlsoWhenRefreshed) {
    connectWindow();
    unit().settings().bluetooth = true;
    ASSERT_TRUE(settings().updateBluetoothEnabled()); // unchecked -> checked: written back once
    EXPECT_EQ(sentValues(tarn::Command::SET_BT_USE, 1, 1), std::vector<uint32_t>{1});
    bus().clearCalls();
    click(named<QCheckBox>("checkBoxEnableBluetooth"));
    EXPECT_EQ(sentValues(tarn::Command::SET_BT_USE, 1, 1), std::vector<uint32_t>{0});
    EXPECT_FALSE(unit().settings().bluetooth);
}

// A refresh selects without writing; the operator's choice writes at once.
TEST_F(UnitSettingsTest, ModeAndIdWriteOnlyTheOperatorsChoice) {
    connectWindow();
    unit().settings().mode = tarn::MODE_MANUAL;
    unit().settings().id = 2;
    window().updateMode();
    window().updateId();
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentText(), QStringLiteral("MANUAL"));
    EXPECT_EQ(named<Corvane::DropDownList>("cboId")->currentText(), QStringLiteral("Slave 2"));
    EXPECT_TRUE(sent(tarn::Command::SET_MODE).empty());
    EXPECT_TRUE(sent(tarn::Command::SET_ID).empty());

    named<Corvane::DropDownList>("cboMode")->setFocus();
    QTest::keyClick(named<Corvane::DropDownList>("cboMode"), Qt::Key_Down);
    named<Corvane::DropDownList>("cboId")->setFocus();
    QTest::keyClick(named<Corvane::DropDownList>("cboId"), Qt::Key_Up);
    EXPECT_EQ(sentValues(tarn::Command::SET_MODE, 1, 1), std::vector<uint32_t>{tarn::MODE_VALET});
    EXPECT_EQ(sentValues(tarn::Command::SET_ID, 1, 1), std::vector<uint32_t>{1});
    EXPECT_EQ(unit().settings().mode, tarn::MODE_VALET);
    EXPECT_EQ(unit().settings().id, 1);

    // Values outside the lists leave the selection alone.
    unit().settings().mode = 3;
    unit().settings().id = 4;
    window().updateMode();
    window().updateId();
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentText(), QStringLiteral("VALET"));
    EXPECT_EQ(named<Corvane::DropDownList>("cboId")->currentText(), QStringLiteral("Slave 1"));
}

TEST_F(UnitSettingsTest, SetModeRefusesWithoutAUnitOrOutsideTheModes) {
    EXPECT_FALSE(window().setMode(tarn::MODE_MANUAL));
    connectWindow();
    EXPECT_FALSE(window().setMode(3));
    EXPECT_FALSE(window().setMode(-1));
    EXPECT_TRUE(sent(tarn::Command::SET_MODE).empty());
    EXPECT_TRUE(window().setMode(tarn::MODE_MANUAL));
    EXPECT_EQ(unit().settings().mode, tarn::MODE_MANUAL);
}

TEST_F(UnitSettingsTest, EditingFlagsFollowTheListsAndThePinFocus) {
    struct Flag {
        Corvane::DropDownList* list;
        bool (Corvane::FormMain::*flag)() const;
    };
    for (const Flag& f :
         {Flag{named<Corvane::DropDownList>("cboMode"), &Corvane::FormMain::modeChange},
          Flag{named<Corvane::DropDownList>("cboId"), &Corvane::FormMain::idChange}}) {
        EXPECT_FALSE((window().*f.flag)());
        f.list->showPopup();
        EXPECT_TRUE((window().*f.flag)());
        f.list->hidePopup();
        EXPECT_FALSE((window().*f.flag)());
    }
    EXPECT_FALSE(window().pinChange());
    click(named<Corvane::FocusLineEdit>("txtPin"));
    EXPECT_TRUE(window().pinChange());
    click(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(3)));
    EXPECT_FALSE(window().pinChange());
}

// No unit at all: the mode write is refused before the device, the id write is attempted.
TEST(UnitSettingsNoUnit, ModeChoiceWritesNothingIdChoiceAttempts) {
    Corvane::DeviceSlot slot = std::make_unique<FakeDevice>(FakeDevice::Behaviour::Closed);
    const auto& fake = static_cast<const FakeDevice&>(*slot);
    QWidget column;
    auto* rows = new QVBoxLayout(&column);
    UnitSettings settings(*rows, slot, Corvane::DesignScale::identity());
    auto* mode = findNamed<Corvane::DropDownList>(column, QStringLiteral("cboMode"));
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);
    EXPECT_TRUE(fake.attempts().empty());
    QTest::keyClick(findNamed<Corvane::DropDownList>(column, QStringLiteral("cboId")),
                    Qt::Key_Down);
    ASSERT_EQ(fake.attempts().size(), 1U);
    EXPECT_EQ(fake.attempts()[0], (Bytes{tarn::commandByte(tarn::Command::SET_ID), 0}));
}

} // namespace
} // namespace uitest
