// The network settings dialog, opened from its menu command over the simulated unit and
// answered as the operator would: what it shows, what reaches the unit, and the port box.

#include "IPSettingsForm.h"
#include "IPAddressControl.h"
#include "SettingsMenu.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {
// Found by argument-dependent lookup from inside GoogleTest's comparisons.
static bool operator==(const SimNetworkSettings& a, const SimNetworkSettings& b) {
    return a.dhcp == b.dhcp && a.lcmPort == b.lcmPort && a.ipAddress == b.ipAddress &&
           a.subnet == b.subnet && a.gateway == b.gateway && a.dns1 == b.dns1 && a.dns2 == b.dns2 &&
           a.lcmAddress == b.lcmAddress;
}
} // namespace sim

namespace {

using Corvane::IPSettingsForm;
using MarlinIPAddressControlLib::IPAddressControl;

// A control the dialog must have; without it the test cannot go on (and must not throw into
// the dialog's event loop).
template <typename W>
W& child(QWidget& dialog, const char* name) {
    W* w = dialog.findChild<W*>(QString::fromLatin1(name));
    if (w == nullptr) {
        std::fprintf(stderr, "the dialog has no control %s\n", name);
        std::abort();
    }
    return *w;
}

QLineEdit& port(QWidget& dialog) {
    return child<QLineEdit>(dialog, "txtLcmPort");
}

void click(QWidget& dialog, const char* button) {
    QTest::mouseClick(&child<QPushButton>(dialog, button), Qt::LeftButton);
}

// Keys go where the focus is only once the application has made the dialog its active window,
// which on the offscreen platform can come a little after the window itself reports active.
void waitUntilActive(QWidget& dialog) {
    EXPECT_TRUE(QTest::qWaitFor([&dialog] {
        return QApplication::activeWindow() == &dialog && QApplication::focusWidget() != nullptr;
    }));
}

class Network : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        sim::SimNetworkSettings& n = unit().settings().network;
        n.ipAddress = 0x0A01A8C0; // 192.168.1.10
        n.subnet = sim::ipv4(255, 255, 255, 0);
        n.gateway = sim::ipv4(192, 168, 1, 1);
        n.dns1 = sim::ipv4(8, 8, 8, 8);
        n.dns2 = sim::ipv4(1, 0, 0, 1);
        n.lcmAddress = sim::ipv4(10, 20, 30, 40);
        n.lcmPort = 80;
        n.dhcp = 1;
        stored_ = n;

        slot_ = std::make_unique<tarn::TarnUsb>();
        window_ = std::make_unique<QWidget>();
        menu_ = std::make_unique<Corvane::SettingsMenu>(slot_, *window_);
        uitest::showActive(*window_);
    }
    void TearDown() override {
        menu_.reset();
        window_.reset();
        slot_.reset();
        UiTest::TearDown();
    }

    void connectUnit() {
        ASSERT_TRUE(slot_->open());
        uitest::bus().clearCalls();
    }

    // Runs the "Network" command with `act` answering its dialog; tells whether one came up.
    bool runNetwork(std::function<void(QWidget&)> act) {
        auto outcome = uitest::answerNextModal([act = std::move(act)](QWidget& dialog) {
            waitUntilActive(dialog);
            act(dialog);
        });
        menu_->networkSettingsToolStripMenuItem_Click();
        EXPECT_FALSE(outcome->forced) << "the dialog had to be closed by force";
        return outcome->answered;
    }

    static std::size_t writes() { return sent(tarn::Command::SET_IP_SETTINGS).size(); }

    sim::SimNetworkSettings stored_;
    std::unique_ptr<tarn::TarnInterface> slot_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<Corvane::SettingsMenu> menu_;
};

TEST_F(Network, WithoutAUnitNoDialogComesUp) {
    auto outcome = uitest::answerNextModal([](QWidget&) {}, 50);
    menu_->networkSettingsToolStripMenuItem_Click();
    QTest::qWait(100);
    EXPECT_FALSE(outcome->answered);
    EXPECT_TRUE(sent(tarn::Command::GET_IP_SETTINGS).empty());
    EXPECT_EQ(writes(), 0u);
}

TEST_F(Network, AFailedReadShowsNoDialog) {
    connectUnit();
    unit().failNextReplies(sim::ReplyFault::Short, 1);
    auto outcome = uitest::answerNextModal([](QWidget&) {}, 50);
    menu_->networkSettingsToolStripMenuItem_Click();
    QTest::qWait(100);
    EXPECT_FALSE(outcome->answered);
    EXPECT_EQ(writes(), 0u);
}

TEST_F(Network, ShowsWhatTheUnitHoldsAndSendsItBackUnchangedOnOk) {
    connectUnit();
    const bool shown = runNetwork([](QWidget& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "IPv4 Settings");
        EXPECT_EQ(child<IPAddressControl>(dialog, "ipaIPAddress").Text(), "192.168.1.10");
        EXPECT_EQ(child<IPAddressControl>(dialog, "ipaSubnet").Text(), "255.255.255.0");
        EXPECT_EQ(child<IPAddressControl>(dialog, "ipaGateway").Text(), "192.168.1.1");
        EXPECT_EQ(child<IPAddressControl>(dialog, "ipaDNS1").Text(), "8.8.8.8");
        EXPECT_EQ(child<IPAddressControl>(dialog, "ipaDNS2").Text(), "1.0.0.1");
        EXPECT_EQ(child<IPAddressControl>(dialog, "ipaLcmIP").Text(), "10.20.30.40");
        EXPECT_EQ(port(dialog).text(), "80");
        EXPECT_TRUE(child<QCheckBox>(dialog, "chkDhcp").isChecked());
        click(dialog, "btnOk");
    });
    ASSERT_TRUE(shown);
    ASSERT_EQ(writes(), 1u);
    EXPECT_EQ(unit().settings().network, stored_);
    EXPECT_EQ(unit().settings().network.ipAddress, 0x0A01A8C0u);
}

TEST_F(Network, EditsAreSentInTheUnitsByteOrder) {
    connectUnit();
    runNetwork([](QWidget& dialog) {
        auto& address = child<IPAddressControl>(dialog, "ipaLcmIP");
        address.SetFieldFocus(0);
        for (const char* keys : {"172", "16", "5", "4"}) {
            QTest::keyClicks(QApplication::focusWidget(), keys);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Period);
        }
        QTest::mouseClick(&child<QCheckBox>(dialog, "chkDhcp"), Qt::LeftButton);
        click(dialog, "btnOk");
    });
    sim::SimNetworkSettings expected = stored_;
    expected.lcmAddress = sim::ipv4(172, 16, 5, 4);
    expected.dhcp = 0;
    EXPECT_EQ(unit().settings().network, expected);
}

struct PortCase {
    const char* name;
    std::function<void(QLineEdit&)> edit;
    const char* shows;
    uint16_t sent;
};

void typeAtEnd(QLineEdit& box, const char* keys) {
    box.setFocus();
    box.end(false);
    QTest::keyClicks(&box, keys);
}

TEST_F(Network, ThePortBoxKeepsToDigitsAndAnythingButAPortIsSentAsZero) {
    const PortCase cases[] = {
        {"a letter after 80", [](QLineEdit& b) { typeAtEnd(b, "a"); }, "80", 80},
        {"a letter inside, then a digit where it was",
         [](QLineEdit& b) {
             b.setFocus();
             b.setCursorPosition(1);
             QTest::keyClicks(&b, "x5");
         },
         "850", 850},
        {"emptied",
         [](QLineEdit& b) {
             b.setFocus();
             b.selectAll();
             QTest::keyClick(&b, Qt::Key_Backspace);
         },
         "", 0},
        {"65536 fits five characters but is no port", [](QLineEdit& b) { typeAtEnd(b, "536"); },
         "80536", 0},
        {"99999 is not wrapped", [](QLineEdit& b) { b.setText("99999"); }, "99999", 0},
        {"above the signed range is still a port", [](QLineEdit& b) { b.setText("40000"); },
         "40000", 40000},
        {"65535", [](QLineEdit& b) { b.setText("65535"); }, "65535", 65535},
        {"a sign is a number, but no port", [](QLineEdit& b) { b.setText("-5"); }, "-5", 0},
        {"a plus sign and white space are read", [](QLineEdit& b) { b.setText(" +81"); }, " +81",
         81},
        {"no more than five characters typed",
         [](QLineEdit& b) {
             b.clear();
             typeAtEnd(b, "1234567");
         },
         "12345", 12345},
        {"a pasted text keeps its digits",
         [](QLineEdit& b) {
             b.clear();
             b.insert("6a0-0");
         },
         "600", 600},
    };
    connectUnit();
    for (const PortCase& c : cases) {
        SCOPED_TRACE(c.name);
        uitest::bus().clearCalls();
        runNetwork([&c](QWidget& dialog) {
            c.edit(port(dialog));
            EXPECT_EQ(port(dialog).text(), c.shows);
            EXPECT_LE(port(dialog).text().size(), 5);
            click(dialog, "btnOk");
        });
        ASSERT_EQ(writes(), 1u);
        EXPECT_EQ(unit().settings().network.lcmPort, c.sent);
        unit().settings().network.lcmPort = 80;
    }
}

TEST_F(Network, OnlyOkSendsAndEnterIsOk) {
    struct Way {
        const char* name;
        std::function<void(QDialog&)> end;
        bool sends;
    };
    const Way ways[] = {
        {"Cancel", [](QDialog& d) { click(d, "btnCancel"); }, false},
        {"Escape", [](QDialog& d) { QTest::keyClick(&port(d), Qt::Key_Escape); }, false},
        {"the close box", [](QDialog& d) { d.close(); }, false},
        {"Enter in the port box", [](QDialog& d) { QTest::keyClick(&port(d), Qt::Key_Return); },
         true},
        {"Enter in an address box",
         [](QDialog& d) {
             child<IPAddressControl>(d, "ipaGateway").SetFieldFocus(3);
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
         },
         true},
        {"OK", [](QDialog& d) { click(d, "btnOk"); }, true},
    };
    connectUnit();
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        uitest::bus().clearCalls();
        unit().settings().network = stored_;
        runNetwork([&way](QWidget& dialog) {
            child<IPAddressControl>(dialog, "ipaIPAddress").SetText(QStringLiteral("10.0.0.7"));
            port(dialog).setText(QStringLiteral("9000"));
            way.end(static_cast<QDialog&>(dialog));
        });
        EXPECT_EQ(writes(), way.sends ? 1u : 0u);
        EXPECT_EQ(unit().settings().network.ipAddress,
                  way.sends ? sim::ipv4(10, 0, 0, 7) : stored_.ipAddress);
        EXPECT_EQ(unit().settings().network.lcmPort, way.sends ? 9000 : 80);
    }
}

std::string focusedControl(QWidget& dialog) {
    static const char* const names[] = {"ipaIPAddress", "ipaSubnet", "ipaGateway", "ipaDNS1",
                                        "ipaDNS2",      "ipaLcmIP",  "txtLcmPort", "chkDhcp",
                                        "btnOk",        "btnCancel"};
    for (QWidget* w = QApplication::focusWidget(); w != nullptr && w != &dialog;
         w = w->parentWidget()) {
        for (const char* name : names) {
            if (w->objectName() == QLatin1String(name)) {
                return name;
            }
        }
    }
    return "?";
}

TEST_F(Network, TabVisitsTheControlsInTheirTabOrder) {
    IPSettingsForm dialog(window_.get());
    uitest::showActive(dialog);
    waitUntilActive(dialog);
    const std::vector<std::string> order{"ipaIPAddress", "ipaSubnet", "ipaGateway",  "ipaDNS1",
                                         "ipaDNS2",      "btnOk",     "txtLcmPort",  "ipaLcmIP",
                                         "btnCancel",    "chkDhcp",   "ipaIPAddress"};
    std::vector<std::string> visited{focusedControl(dialog)};
    for (std::size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(focusedControl(dialog));
    }
    EXPECT_EQ(visited, order);

    // And back again with Shift+Tab.
    std::vector<std::string> back;
    for (std::size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        back.push_back(focusedControl(dialog));
    }
    EXPECT_EQ(back, std::vector<std::string>(order.rbegin() + 1, order.rend()));
}

TEST_F(Network, ABlankDialogReadsAsZerosAndEveryControlFitsItsParent) {
    IPSettingsForm dialog(window_.get());
    uitest::showActive(dialog);
    EXPECT_EQ(child<IPAddressControl>(dialog, "ipaDNS2").Text(), "...");
    EXPECT_EQ(dialog.getDNS2().ToString(), "0.0.0.0");
    EXPECT_EQ(dialog.getLcmPort(), 0);
    EXPECT_FALSE(dialog.getDhcp());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(port(dialog).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (w->isWindow() || w->parentWidget() == nullptr || !w->isVisible()) {
            continue;
        }
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry()));
    }
}

} // namespace
