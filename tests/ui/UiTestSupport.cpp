#include "UiTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace uitest {
namespace {

constexpr int kPollMs = 5;

struct PendingAnswer {
    std::function<void(QWidget&)> act;
    std::shared_ptr<ModalOutcome> outcome;
    int triesLeft = 0;
};

void closeIfStillOpen(QPointer<QWidget> dialog, std::shared_ptr<ModalOutcome> outcome,
                      int triesLeft) {
    const QWidget* shown = dialog.data();
    if (shown == nullptr || !shown->isVisible()) {
        return;
    }
    if (triesLeft > 0) {
        QTimer::singleShot(kPollMs, [dialog, outcome, triesLeft] {
            closeIfStillOpen(dialog, outcome, triesLeft - 1);
        });
        return;
    }
    outcome->forced = true;
    if (auto* asDialog = qobject_cast<QDialog*>(dialog.data())) {
        asDialog->reject();
    } else {
        dialog->close();
    }
}

void lookForModal(std::shared_ptr<PendingAnswer> pending) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        if (pending->triesLeft-- > 0) {
            QTimer::singleShot(kPollMs, [pending] { lookForModal(pending); });
        }
        return;
    }
    pending->outcome->answered = true;
    pending->outcome->title = modal->windowTitle();
    QPointer<QWidget> guard(modal);
    pending->act(*modal);
    // Give the dialog a moment to end through its own buttons before closing it by force.
    closeIfStillOpen(guard, pending->outcome, 20);
}

} // namespace

void UiTest::SetUp() {
    bus().reset();
    setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    unit_ = std::make_unique<sim::SimUnit>(bus(), clock_);
}

void UiTest::TearDown() {
    setLocale(QLocale::system());
}

void UiTest::openDevice() {
    ASSERT_TRUE(dev_->open());
    bus().clearCalls();
}

void UiTest::replaceUnit(const sim::SimUnitOptions& options) {
    dev_->closeDevice();
    unit_.reset();
    unit_ = std::make_unique<sim::SimUnit>(bus(), clock_, options);
}

void UiTest::setLocale(const QLocale& locale) {
    QLocale::setDefault(locale);
}

std::vector<Bytes> UiTest::sent(tarn::Command command) {
    std::vector<Bytes> out;
    for (const sim::CallRecord& t : bus().transfers()) {
        if (t.endpoint == tarn::TarnUsb::kCfgEndpoint && !t.data.empty() &&
            t.data[0] == tarn::commandByte(command)) {
            out.push_back(t.data);
        }
    }
    return out;
}

std::vector<Bytes> UiTest::sentOnStream() {
    std::vector<Bytes> out;
    for (const sim::CallRecord& t : bus().transfers()) {
        if (t.endpoint == tarn::TarnUsb::kStreamEndpoint) {
            out.push_back(t.data);
        }
    }
    return out;
}

void answerInTurn(std::vector<std::function<void(QWidget&)>> acts) {
    if (acts.empty()) {
        return;
    }
    answerNextModal([acts](QWidget& w) mutable {
        const auto first = acts.front();
        acts.erase(acts.begin());
        answerInTurn(acts);
        first(w);
    });
}

std::shared_ptr<const ModalOutcome> answerNextModal(std::function<void(QWidget&)> act,
                                                    int timeoutMs) {
    auto pending = std::make_shared<PendingAnswer>();
    pending->act = std::move(act);
    pending->outcome = std::make_shared<ModalOutcome>();
    pending->triesLeft = timeoutMs / kPollMs;
    QTimer::singleShot(0, [pending] { lookForModal(pending); });
    return pending->outcome;
}

void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void showActive(QWidget& window) {
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

} // namespace uitest
