// Pictures of the console's window and its dialogs in one fixed state, so that a change to how
// the window is built can be shown to leave what it shows pixel for pixel as it was:
//
//   probe_screens OUT_DIR
//
// The real window runs on the simulated bus with the simulated unit on a manual clock and its
// polling timer held, so every reading comes out the same on every run. One scripted sequence:
// connect, switch channels 1 and 3 on, pick 15 A on channel 2's fuse box, poll on; then the
// window is grabbed, and each dialog in turn is opened from its own control, grabbed and
// cancelled. Writes main.png, rename.png, network-settings.png, switch-board.png and
// factory-reset.png into OUT_DIR and exits non-zero when any picture is missing.
// bench/screens.sh runs it under a virtual X server with a fixed font setup.
//
// Controls are found by object name and type, never through the window's accessors, so that the
// same probe runs on the window before and after its parts are rearranged.

#include "ConsoleProgram.h"
#include "FormMain.h"
#include "SimBus.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "SwitchBoardConfig.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

namespace {

constexpr int kActiveTimeoutMs = 3000;
constexpr int kModalPollMs = 5;
constexpr int kModalTries = 600;

class Shots {
public:
    explicit Shots(QDir out)
        : out_(std::move(out)) {}

    void save(QWidget& widget, const char* name) {
        // Settled first: a window not yet active draws its focus frames and caret otherwise.
        const bool active = QTest::qWaitForWindowActive(&widget, kActiveTimeoutMs);
        QApplication::processEvents();
        const QString file = out_.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
        if (!active || !widget.grab().save(file)) {
            fail(active ? "could not write" : "never became active", name);
            return;
        }
        std::printf("%s\n", qPrintable(file));
    }
    void fail(const char* what, const char* name) {
        std::fprintf(stderr, "probe_screens: %s: %s\n", name, what);
        failed_ = true;
    }
    bool failed() const { return failed_; }

private:
    QDir out_;
    bool failed_ = false;
};

// The controls of one channel row by object name: every row names its controls alike, and the
// rows stand in order of their channel from the top of the channel box.
template <typename W>
W* rowControl(QWidget& window, const char* name, int row) {
    auto* channels = window.findChild<QGroupBox*>(QStringLiteral("groupChannels"));
    if (channels == nullptr) {
        return nullptr;
    }
    QList<W*> found = channels->findChildren<W*>(QString::fromLatin1(name));
    std::stable_sort(found.begin(), found.end(), [channels](const W* a, const W* b) {
        return a->mapTo(channels, QPoint()).y() < b->mapTo(channels, QPoint()).y();
    });
    return row < found.size() ? found.at(row) : nullptr;
}

// Once `open` has brought up a modal dialog, grabs it from within the dialog's own event loop
// and cancels it.
void shootModal(Shots& shots, const char* name, const std::function<void()>& open) {
    QTimer poll;
    poll.setInterval(kModalPollMs);
    bool taken = false;
    int tries = kModalTries;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            if (--tries <= 0) {
                poll.stop();
            }
            return;
        }
        poll.stop();
        taken = true;
        const QPointer<QWidget> guard(modal);
        shots.save(*modal, name);
        if (auto* dialog = qobject_cast<QDialog*>(guard.data())) {
            dialog->reject();
        } else if (guard) {
            guard->close();
        }
    });
    poll.start();
    open();
    if (!taken) {
        shots.fail("no modal dialog came up", name);
    }
}

void pressAndRelease(QWidget& widget) {
    const QPointF at = QRectF(widget.rect()).center();
    const QPointF global = widget.mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QApplication::sendEvent(&widget, &release);
}

// The operator enters the fuse box, opens its list and chooses `item` with the keyboard.
bool pickFuse(QComboBox& box, const QString& item) {
    const int index = box.findText(item);
    if (index < 0) {
        return false;
    }
    box.setFocus(Qt::MouseFocusReason);
    box.showPopup();
    QAbstractItemView* list = box.view();
    list->setCurrentIndex(box.model()->index(index, 0));
    QTest::keyClick(list, Qt::Key_Return);
    return box.currentText() == item;
}

// Connects, switches channels 1 and 3 on, sets channel 2's fuse and polls on.
bool driveWindow(Corvane::FormMain& window, Shots& shots) {
    for (int i = 0; i < 20 && !(window.device() && window.device()->isOpen()); ++i) {
        window.timer1_Tick();
    }
    if (!window.device() || !window.device()->isOpen()) {
        shots.fail("the simulated unit did not connect", "main");
        return false;
    }
    for (const int row : {0, 2}) {
        auto* on = rowControl<QPushButton>(window, "button1", row);
        if (on == nullptr) {
            shots.fail("no ON button", "main");
            return false;
        }
        on->click();
    }
    auto* fuse = rowControl<QComboBox>(window, "comboBox1", 1);
    if (fuse == nullptr || !pickFuse(*fuse, QStringLiteral("15"))) {
        shots.fail("no fuse box to pick 15 in", "main");
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        window.timer1_Tick();
    }
    QApplication::processEvents();
    return true;
}

void shootDialogs(Corvane::FormMain& window, Shots& shots) {
    if (auto* name = rowControl<QLabel>(window, "label1", 0)) {
        shootModal(shots, "rename", [name] { pressAndRelease(*name); });
    } else {
        shots.fail("no channel name", "rename");
    }
    shootModal(shots, "network-settings",
               [&window] { window.networkSettingsToolStripMenuItem_Click(); });

    window.switchBoardToolStripMenuItem_Click();
    Corvane::SwitchBoardConfig* board = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<Corvane::SwitchBoardConfig*>(top); b && b->isVisible()) {
            board = b;
        }
    }
    if (board != nullptr) {
        // Modeless: without a window manager nothing else makes it the active window.
        board->activateWindow();
        shots.save(*board, "switch-board");
        board->close();
    } else {
        shots.fail("did not open", "switch-board");
    }
    QApplication::processEvents();

    shootModal(shots, "factory-reset", [&window] { window.factoryResetToolStripMenuItem_Click(); });
}

int shoot(const QDir& out) {
    Shots shots(out);
    Corvane::FormMain window;
    // Held, so that the readings move only with the probe's own ticks.
    if (auto* timer = window.findChild<QTimer*>(QStringLiteral("timer1"))) {
        timer->stop();
    } else {
        shots.fail("no polling timer", "main");
        return 1;
    }
    window.move(0, 0);
    window.show();
    // Active, as under the operator's hands: the fuse box commits a pick only once entered.
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window, kActiveTimeoutMs)) {
        shots.fail("never became active", "main");
        return 1;
    }
    if (!driveWindow(window, shots)) {
        return 1;
    }
    shots.save(window, "main");
    shootDialogs(window, shots);
    return shots.failed() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    // Declared first so that they outlive the window, whose teardown still talks to the unit.
    sim::SimManualClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);
    sim::SimBus::instance().setRecording(false);

    Corvane::ConsoleProgram::usePlatformStyle();
    QApplication app(argc, argv);
    // A steady caret, and the pointer away from every window, so that neither blinking nor
    // hovering shows up in the pictures.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "probe_screens: cannot create %s\n", argv[1]);
        return 1;
    }
    return shoot(out);
}
