#pragma once

// Shared pieces of the window tests: a real tarn::TarnUsb over the simulated bus with the
// simulated unit on a manual clock, the locale a test runs under, and the answering of modal
// dialogs from a queued call.

#include "DeviceSlot.h"
#include "Packets.h"
#include "SimBus.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"

#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include <ostream>

class QWidget;

// Failure messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace uitest {

using Bytes = std::vector<uint8_t>;

inline sim::SimBus& bus() {
    return sim::SimBus::instance();
}

// Every test starts on an empty bus with one simulated unit (factory settings) attached and the
// device object closed; openDevice() connects it as the window's first tick would. The locale
// is United States English unless the test sets another, and is put back afterwards.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the device and forgets the calls made so far, so that the record holds only what
    // the test itself causes.
    void openDevice();
    // Puts a fresh unit with these options on the bus (the device object is closed first).
    void replaceUnit(const sim::SimUnitOptions& options);
    static void setLocale(const QLocale& locale);

    static sim::SimBus& bus() { return uitest::bus(); }
    tarn::TarnUsb& dev() { return static_cast<tarn::TarnUsb&>(*dev_); }
    // The same device object as the window's parts borrow it.
    const Corvane::DeviceSlot& deviceSlot() const { return dev_; }
    sim::SimUnit& unit() { return *unit_; }
    sim::SimManualClock& clock() { return clock_; }

    // The configuration requests sent so far with this command, each as the bytes sent.
    static std::vector<Bytes> sent(tarn::Command command);
    // The stream-pipe requests (relay requests and stream switches), each as the bytes sent.
    static std::vector<Bytes> sentOnStream();

private:
    sim::SimManualClock clock_;
    std::unique_ptr<sim::SimUnit> unit_;
    Corvane::DeviceSlot dev_ = std::make_unique<tarn::TarnUsb>();
};

// The control called `name` under `parent`, found as any tool finds it. A missing one fails the
// test there, with its name, rather than as a null dereferenced later.
template <typename W = QWidget>
W* findNamed(const QObject& parent, const QString& name) {
    W* found = parent.findChild<W*>(name);
    if (found == nullptr) {
        throw std::runtime_error("no control named " + name.toStdString());
    }
    return found;
}

// What became of a queued answer to a modal dialog.
struct ModalOutcome {
    bool answered = false; // a modal dialog came up and `act` ran on it
    bool forced = false;   // it was still open afterwards and had to be closed
    QString title;         // its window title
};

// Once the code under test has opened a modal dialog, runs `act` on it from a queued call
// (QApplication::activeModalWidget(), looked for every few milliseconds for at most
// `timeoutMs`). A dialog that `act` leaves open is rejected, so that a test never hangs.
std::shared_ptr<const ModalOutcome> answerNextModal(std::function<void(QWidget&)> act,
                                                    int timeoutMs = 3000);

// Answers the coming modal dialogs one after the other; each answer is waited for only once the
// one before it has run.
void answerInTurn(std::vector<std::function<void(QWidget&)>> acts);

// Types any text into a widget key by key, as a keyboard layout that has the characters would
// (QTest::keyClicks knows only ASCII).
void typeText(QWidget* widget, const QString& text);

// Shows a top-level widget and waits until it is the active window, so that focus and keys
// behave as on a desktop.
void showActive(QWidget& window);

} // namespace uitest
