#include "PollingTestSupport.h"

#include "ButtonCheckBox.h"
#include "ClickLabel.h"
#include "DropDownList.h"
#include "RelayChannel.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace uitest {
namespace {

using Corvane::PollingLoop;

// Stands in for the desktop's web browser.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    UrlCatcher(const UrlCatcher&) = delete;
    UrlCatcher& operator=(const UrlCatcher&) = delete;

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

struct NoticeSeen {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString voltageWhileOpen; // what the ticks under the notice had shown when it was answered
};

// Answers the next notice with `button`, noting what it showed. A looker that outlives its
// test holds nothing of it: what it notes lives as long as the looker.
struct NoticeAnswer {
    std::shared_ptr<const ModalOutcome> outcome;
    std::shared_ptr<NoticeSeen> seen;
};

NoticeAnswer answerNotice(QMessageBox::StandardButton button, QLineEdit& voltage,
                          int timeoutMs = 3000) {
    auto seen = std::make_shared<NoticeSeen>();
    QPointer<QLineEdit> box(&voltage);
    auto outcome = answerNextModal(
        [button, seen, box](QWidget& modal) {
            auto* notice = qobject_cast<QMessageBox*>(&modal);
            ASSERT_NE(notice, nullptr);
            *seen = {notice->text(), notice->icon(), notice->standardButtons(),
                     box ? box->text() : QString()};
            notice->button(button)->click();
        },
        timeoutMs);
    return {outcome, seen};
}

void reconnect(sim::SimUnit& unit) {
    unit.unplug();
    unit.replug();
}

TEST_F(PollingTest, UnpluggingFreezesTheDisplayAndReplugReadsEverythingAfresh) {
    tick();
    StatusBytes status;
    status.relay.at(2) = tarn::RELAY_ON;
    ASSERT_TRUE(windowDev().executeScriptIgnitionOn());
    queueStream(powerStatusPacket(12500, status));
    tick();
    ASSERT_TRUE(named<Corvane::ButtonCheckBox>("checkboxScriptStartup")->isChecked());

    unit().unplug();
    tick(3);
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Disconnected");
    EXPECT_EQ(named<QLabel>("labelBluetoothValue")->text(), "Unknown");
    EXPECT_FALSE(named<Corvane::ButtonCheckBox>("checkboxScriptStartup")->isChecked());
    EXPECT_FALSE(named<Corvane::ButtonCheckBox>("checkboxScriptShutdown")->isChecked());
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), "12.50");
    EXPECT_EQ(relayText(2), "ON");
    EXPECT_EQ(named<QLabel>("labelSerialNumber")->text(), "Serial Number:\n74565");
    EXPECT_FALSE(windowDev().isOpen());

    unit().settings().names.at(4) = "Lights";
    unit().settings().channels.at(4).currentMa = 15000;
    unit().settings().scripts.at(1) = "off all";
    unit().setIdentity(identity(1, 3, 0, 3, 42));
    unit().replug();
    tick();
    EXPECT_TRUE(unit().streaming());
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Firmware v1.3.0");
    EXPECT_EQ(named<QLabel>("labelSerialNumber")->text(), "Serial Number:\n42");
    EXPECT_EQ(window().channels().at(4)->lblChannel->text(), "Lights");
    EXPECT_EQ(window().channels().at(4)->comboBoxFuse->currentText(), "15");
    EXPECT_EQ(named<QPlainTextEdit>("textboxShutdown")->toPlainText(), "off all");
}

struct VersionCase {
    std::uint16_t major;
    std::uint16_t minor;
    std::uint16_t build;
    bool notice;
};

class FirmwareNotice : public PollingTest, public ::testing::WithParamInterface<VersionCase> {
protected:
    void SetUp() override {
        PollingTest::SetUp();
        const VersionCase& v = GetParam();
        unit().setIdentity(identity(v.major, v.minor, v.build));
        reconnect(unit());
        window().timer1()->start(); // the notice's own event loop runs the real timer
    }
};

TEST_P(FirmwareNotice, IsShownOncePerRunAndOkOpensTheDownloadPage) {
    const VersionCase& v = GetParam();
    UrlCatcher browser;
    const NoticeAnswer answer =
        answerNotice(QMessageBox::Ok, *named<QLineEdit>("txtVoltage"), v.notice ? 3000 : 30);
    const auto& outcome = answer.outcome;
    const NoticeSeen& seen = *answer.seen;
    tick(); // the notice comes up straight after the tick, and timer1 polls inside it
    if (v.notice) {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return outcome->answered && !browser.opened.isEmpty(); }));
    } else {
        QTest::qWait(150); // past the looker's time
    }
    ASSERT_EQ(outcome->answered, v.notice);
    EXPECT_EQ(PollingLoop::firmwareChecked(), v.notice);
    if (!v.notice) {
        EXPECT_TRUE(browser.opened.isEmpty());
        return;
    }
    EXPECT_EQ(outcome->title, "Tarnwell (Marlin Inc.)");
    EXPECT_EQ(seen.text, QStringLiteral("Detected old firmware version v%1.%2.%3\nUpdating  to "
                                        "firmware version v1.0.5 is recommended.\nOpen download "
                                        "link in web browser?")
                             .arg(v.major)
                             .arg(v.minor)
                             .arg(v.build));
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_FALSE(seen.voltageWhileOpen.isEmpty()) << "no poll tick ran inside the notice";
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.front(), QUrl(PollingLoop::kDownloadUrl));
    EXPECT_EQ(browser.opened.front().path(), "/release-packages/");

    // A reconnection in the same run shows no second notice.
    reconnect(unit());
    tick(2);
    auto second = answerNotice(QMessageBox::Ok, *named<QLineEdit>("txtVoltage"), 30).outcome;
    tick();
    QTest::qWait(150); // past the looker's time
    EXPECT_FALSE(second->answered);
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(),
              QStringLiteral("Firmware v%1.%2.%3").arg(v.major).arg(v.minor).arg(v.build));
}

INSTANTIATE_TEST_SUITE_P(PollingTest, FirmwareNotice,
                         ::testing::Values(VersionCase{1, 0, 4, true}, VersionCase{0, 9, 9, true},
                                           VersionCase{1, 0, 5, false},
                                           VersionCase{1, 1, 0, false}));

TEST_F(PollingTest, CancellingTheNoticeOpensNothingAndPollingGoesOn) {
    unit().setIdentity(identity(1, 0, 4));
    reconnect(unit());
    UrlCatcher browser;
    auto outcome = answerNotice(QMessageBox::Cancel, *named<QLineEdit>("txtVoltage")).outcome;
    tick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome->answered; }));
    QTest::qWait(30);
    EXPECT_TRUE(browser.opened.isEmpty());
    queueStream(powerPacket(11000, 0, 0));
    tick();
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), "11.00");
}

TEST_F(PollingTest, TheInverterRowFollowsTheHardwareRevisionOfEachUnit) {
    const struct {
        std::uint8_t hwRev;
        bool shown;
    } units[] = {{0, false}, {2, true}, {1, false}, {5, true}, {2, true}, {1, false}};
    for (const auto& u : units) {
        SCOPED_TRACE(u.hwRev);
        unit().setIdentity(identity(1, 2, 7, u.hwRev));
        reconnect(unit());
        tick(3); // the old unit's handle fails, then a retry-free reopen
        EXPECT_EQ(window().inverterChannel().txtBoxRelayStatus->isVisibleTo(&window()), u.shown);
        EXPECT_EQ(window().inverterChannel().lblChannel->isVisibleTo(&window()), u.shown);
    }
}

TEST_F(PollingTest, AUnitThatCannotBeOpenedIsExplainedOnceUntilItOpens) {
    struct Case {
        std::function<void(sim::SimUnit&)> spoil;
        std::function<void(sim::SimUnit&)> mend;
        std::vector<const char*> told;
    };
    const Case cases[] = {
        {[](sim::SimUnit& u) { u.device()->setOpenResult(LIBUSB_ERROR_ACCESS); },
         [](sim::SimUnit& u) { u.device()->setOpenResult(LIBUSB_SUCCESS); },
         {"lacks permission", "\"USB access on Linux\""}},
        {[](sim::SimUnit& u) { u.device()->setClaimResult(LIBUSB_ERROR_BUSY); },
         [](sim::SimUnit& u) { u.device()->setClaimResult(LIBUSB_SUCCESS); },
         {"another program is using it"}},
        {[](sim::SimUnit& u) { u.failNextReplies(sim::ReplyFault::Timeout, 1000); },
         [](sim::SimUnit& u) { u.failNextReplies(sim::ReplyFault::Timeout, 0); },
         {"does not answer"}},
        {[](sim::SimUnit& u) { u.device()->setOpenResult(LIBUSB_ERROR_NOT_SUPPORTED); },
         [](sim::SimUnit& u) { u.device()->setOpenResult(LIBUSB_SUCCESS); },
         {"cannot be opened (USB error -12)", "\"USB access on Linux\""}},
    };
    QLabel& status = *named<QLabel>("labelConnectionStatus");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.told.front());
        reconnect(unit());
        c.spoil(unit());
        ::testing::internal::CaptureStderr();
        tick(20);
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status.text(), "Disconnected");
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
        for (const char* words : c.told) {
            EXPECT_TRUE(status.toolTip().contains(QString::fromUtf8(words)))
                << status.toolTip().toStdString();
            EXPECT_NE(told.find(words), std::string::npos) << told;
        }

        c.mend(unit());
        tick();
        EXPECT_EQ(status.text(), "Firmware v1.2.7");
        EXPECT_TRUE(status.toolTip().isEmpty());
    }
}

TEST_F(PollingTest, NoUnitOnTheBusNeedsNoExplanation) {
    unit().unplug();
    ::testing::internal::CaptureStderr();
    tick(5);
    EXPECT_TRUE(::testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Disconnected");
    EXPECT_TRUE(named<QLabel>("labelConnectionStatus")->toolTip().isEmpty());
}

enum class Fault { Timeout, Short, WrongId, Gone };

struct FaultCase {
    Fault fault;
    int request; // of the connection, 0 the version read; negative counts from the end
};

// The configuration replies the unit gave in one whole connection, in order.
std::vector<Bytes> connectionReplies() {
    std::vector<Bytes> replies;
    for (const sim::CallRecord& t : bus().transfers()) {
        if (t.endpoint == (0x80 | tarn::TarnUsb::kCfgEndpoint)) {
            replies.push_back(t.data);
        }
    }
    return replies;
}

class ConnectionFaults : public PollingTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ConnectionFaults, LeaveTheWindowWorkingAndTheNextTicksReconnect) {
    bus().clearCalls();
    tick();
    const std::vector<Bytes> replies = connectionReplies();
    ASSERT_GT(replies.size(), 30u);
    const FaultCase& f = GetParam();
    const auto at = static_cast<std::size_t>(
        f.request >= 0 ? f.request : static_cast<int>(replies.size()) + f.request);
    ASSERT_LT(at, replies.size());
    reconnect(unit());
    unit().settings().names.at(11) = "Changed";
    tick(); // the old handle fails and closes

    // The same connection again, its replies given as before up to the faulty one.
    for (std::size_t i = 0; i < at; ++i) {
        unit().device()->queue(0x81, reply(replies.at(i)));
    }
    Bytes bad = replies.at(at);
    switch (f.fault) {
    case Fault::Timeout:
        unit().device()->queue(0x81, reply({}, LIBUSB_ERROR_TIMEOUT));
        break;
    case Fault::Short:
        bad.resize(1);
        unit().device()->queue(0x81, reply(bad));
        break;
    case Fault::WrongId:
        bad.at(0) = static_cast<std::uint8_t>(bad.at(0) ^ 0x40);
        unit().device()->queue(0x81, reply(bad));
        break;
    case Fault::Gone:
        unit().device()->queue(0x81, reply({}, LIBUSB_ERROR_NO_DEVICE, true));
        break;
    }
    tick();
    unit().device()->clearQueues();
    if (f.fault == Fault::Gone) {
        tick();
        EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Disconnected");
        unit().replug();
    }
    tick(3);
    ASSERT_TRUE(windowDev().isOpen());
    EXPECT_TRUE(unit().streaming());
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Firmware v1.2.7");
    EXPECT_EQ(named<QLabel>("labelSerialNumber")->text(), "Serial Number:\n74565");
    queueStream(powerPacket(12340, 0, 0));
    tick();
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), "12.34");
}

INSTANTIATE_TEST_SUITE_P(PollingTest, ConnectionFaults,
                         ::testing::Values(FaultCase{Fault::Timeout, 0},
                                           FaultCase{Fault::Timeout, 1}, FaultCase{Fault::Short, 2},
                                           FaultCase{Fault::WrongId, 13},
                                           FaultCase{Fault::Timeout, 26},
                                           FaultCase{Fault::Short, -3},
                                           FaultCase{Fault::WrongId, -1}, FaultCase{Fault::Gone, 0},
                                           FaultCase{Fault::Gone, 5}, FaultCase{Fault::Gone, -2}));

} // namespace
} // namespace uitest

#include "PollingConnectionTest.moc"
