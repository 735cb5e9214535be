#include "PollingTestSupport.h"

#include "ButtonCheckBox.h"
#include "ClickLabel.h"
#include "DropDownList.h"
#include "FocusLineEdit.h"
#include "NamedColors.h"
#include "RelayChannel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace uitest {
namespace {

using Corvane::NamedColor;
using Corvane::NamedColors;

TEST_F(PollingTest, ConnectingReadsTheWholeConfigurationAndEnablesTheStream) {
    sim::SimUnitSettings& stored = unit().settings();
    stored.names.at(0) = "Winch";
    stored.names.at(12) = "Inv\xE9rter"; // 8-bit text: é in the unit's code page
    stored.channels.at(0).flags = 0;
    stored.channels.at(0).currentMa = 7500;
    stored.channels.at(0).i2tSteps = 162759375 / 128 * 1130;
    stored.groups = 0x0801;
    stored.bluetooth = false;
    stored.mode = 1;
    stored.id = 2;
    stored.scripts.at(0) = "on 1";

    tick();

    ASSERT_TRUE(windowDev().isOpen());
    EXPECT_TRUE(unit().streaming());
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Firmware v1.2.7");
    EXPECT_EQ(named<QLabel>("labelSerialNumber")->text(), "Serial Number:\n74565");
    const Corvane::RelayChannel& first = *window().channels().at(0);
    EXPECT_EQ(first.lblChannel->text(), "Winch");
    EXPECT_EQ(first.comboBoxFuse->currentText(), "7.5");
    EXPECT_EQ(first.txtBoxCurrentSq->text(), "1,130.0");
    EXPECT_FALSE(first.checkBox1->isChecked());
    EXPECT_TRUE(window().channels().at(1)->checkBox1->isChecked());
    EXPECT_EQ(window().channels().at(11)->lblChannel->text(), "Channel 12");
    EXPECT_EQ(window().inverterChannel().lblChannel->text(), QString::fromUtf8("Inv\u00e9rter"));
    EXPECT_TRUE(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(1))->isChecked());
    EXPECT_FALSE(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(2))->isChecked());
    EXPECT_TRUE(named<QCheckBox>(QStringLiteral("chkGrp%1").arg(12))->isChecked());
    EXPECT_FALSE(named<QCheckBox>("checkBoxEnableBluetooth")->isChecked());
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 1);
    EXPECT_EQ(named<Corvane::DropDownList>("cboId")->currentIndex(), 2);
    EXPECT_EQ(named<QPlainTextEdit>("textboxStartup")->toPlainText(), "on 1");
    // Reading the configuration in wrote none of it back.
    EXPECT_TRUE(sent(tarn::Command::SET_CHANNEL_CONFIG).empty());
}

TEST_F(PollingTest, ATickShowsTheUnitsTelemetry) {
    tick();
    StatusBytes status;
    status.relay.at(3) = tarn::RELAY_ON;
    queueStream(powerStatusPacket(12345, status));
    tick();
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), "12.35");
    EXPECT_EQ(named<QLineEdit>("txtTotalCurrent")->text(), "1.50");
    EXPECT_EQ(named<QLineEdit>("txtIgn2")->text(), "12.00");
    EXPECT_EQ(window().channels().at(11)->textBoxCurrent->text(), "0.25");
    EXPECT_EQ(relayText(3), "ON");
    EXPECT_EQ(relayText(4), "OFF");
    EXPECT_EQ(named<QLabel>("labelBluetoothValue")->text(), "Connected");

    // The unit's own packets: power and status, then temperatures.
    tick(2);
    EXPECT_FALSE(named<QLineEdit>("txtIntTemp1")->text().isEmpty());
    EXPECT_FALSE(named<QLineEdit>("txtExtTemp1")->text().isEmpty());
}

TEST_F(PollingTest, APowerOnlyPacketLeavesTheOtherDisplaysAsTheyWere) {
    tick(3); // connected, and the unit's first two packets shown
    StatusBytes status;
    status.mode = 2;
    status.relay.fill(tarn::RELAY_BAD_FUSE);
    status.bluetooth = 0x01; // present only: disabled
    queueStream(powerStatusPacket(12000, status));
    tick();
    const QString temp = named<QLineEdit>("txtIntTemp2")->text();

    queueStream(powerPacket(13570, -2500, -100));
    tick();
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), "13.57");
    EXPECT_EQ(named<QLineEdit>("txtTotalCurrent")->text(), "-2.50");
    EXPECT_EQ(window().channels().at(5)->textBoxCurrent->text(), "-0.10");
    EXPECT_EQ(named<QLineEdit>("txtIntTemp2")->text(), temp);
    EXPECT_EQ(relayText(0), "BAD FUSE");
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 2);
    EXPECT_EQ(named<QLabel>("labelBluetoothValue")->text(), "Disabled");
}

TEST_F(PollingTest, ATimedOutStreamReadStillRefreshesScriptIdAndPin) {
    tick();
    ASSERT_TRUE(windowDev().executeScriptIgnitionOn());
    unit().settings().id = 3;
    unit().settings().pin = 0x09010702; // 2719 as digits from the lowest byte
    unit().device()->queue(0x82, reply({}, LIBUSB_ERROR_TIMEOUT));
    queueStream(powerPacket(1, 1, 1));
    const QString voltage = named<QLineEdit>("txtVoltage")->text();

    tick();

    EXPECT_EQ(unit().device()->queued(0x82), 1u) << "the timed-out read was this tick's";
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), voltage);
    EXPECT_TRUE(named<Corvane::ButtonCheckBox>("checkboxScriptStartup")->isChecked());
    EXPECT_EQ(named<Corvane::DropDownList>("cboId")->currentIndex(), 3);
    EXPECT_EQ(named<Corvane::FocusLineEdit>("txtPin")->text(), "2719");
    EXPECT_TRUE(windowDev().isOpen());
}

TEST_F(PollingTest, AnOpenModeListKeepsItsSelectionUntilItCloses) {
    tick();
    StatusBytes status;
    status.mode = 1;
    named<Corvane::DropDownList>("cboMode")->showPopup();
    queueStream(statusPacket(status));
    tick();
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 0);

    named<Corvane::DropDownList>("cboMode")->hidePopup();
    queueStream(statusPacket(status));
    tick();
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 1);

    status.mode = 3; // no such mode
    queueStream(statusPacket(status));
    tick();
    EXPECT_EQ(named<Corvane::DropDownList>("cboMode")->currentIndex(), 1);
    EXPECT_TRUE(sent(tarn::Command::SET_MODE).empty()) << "telemetry never sets the unit's mode";
}

struct ScriptCase {
    bool (tarn::TarnInterface::*run)();
    bool startup;
    bool shutdown;
};

class RunButtons : public PollingTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(RunButtons, ShowWhichOfTheTwoIgnitionScriptsRuns) {
    tick();
    ASSERT_TRUE(windowDev().executeScriptIgnitionOff()); // something shown before
    tick();
    ASSERT_TRUE((windowDev().*GetParam().run)());
    tick();
    EXPECT_EQ(named<Corvane::ButtonCheckBox>("checkboxScriptStartup")->isChecked(),
              GetParam().startup);
    EXPECT_EQ(named<Corvane::ButtonCheckBox>("checkboxScriptShutdown")->isChecked(),
              GetParam().shutdown);
}

INSTANTIATE_TEST_SUITE_P(
    PollingTest, RunButtons,
    ::testing::Values(ScriptCase{&tarn::TarnInterface::executeScriptIgnitionOn, true, false},
                      ScriptCase{&tarn::TarnInterface::executeScriptIgnitionOff, false, true},
                      ScriptCase{&tarn::TarnInterface::executeScriptValetIgnitionOn, false, false},
                      ScriptCase{&tarn::TarnInterface::executeScriptValetIgnitionOff, false, false},
                      ScriptCase{&tarn::TarnInterface::executeScriptStop, false, false}));

} // namespace
} // namespace uitest
