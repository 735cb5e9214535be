#include "ConsoleProgram.h"

#include "FormMain.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

namespace Corvane {
namespace {

// Should no expose come (a window mapped where it cannot be seen), the program goes on anyway.
constexpr int kFirstFrameWaitMs = 250;

void fail(const char* what) noexcept {
    std::fprintf(stderr, "tarnwell: %s\n", what);
}

// What waits for the window's first frame: the polling, whose first tick connects a unit and
// reads its whole configuration, and the hook. Both start from the event loop once the first
// expose has been handled (which paints and flushes the frame), or after a short wait at most.
// Owned by the window, so it goes with it.
class AfterFirstFrame : public QObject {
public:
    AfterFirstFrame(FormMain& window, ConsoleProgram::WindowHook hook)
        : QObject(&window)
        , window_(window)
        , hook_(std::move(hook)) {
        window.timer1()->stop();
        window.windowHandle()->installEventFilter(this);
        QTimer::singleShot(kFirstFrameWaitMs, this, [this] { start(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose) {
            watched->removeEventFilter(this);
            // Queued: it runs once the expose has been painted.
            QMetaObject::invokeMethod(
                this, [this] { start(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void start() noexcept {
        if (started_) {
            return;
        }
        started_ = true;
        try {
            // The frame leaves for the screen before the first tick and the hook hold the loop.
            QGuiApplication::sync();
            window_.timer1()->start();
            if (hook_) {
                hook_(window_);
            }
        } catch (const std::exception& e) {
            fail(e.what());
            QCoreApplication::exit(1);
        } catch (...) {
            fail("unexpected error");
            QCoreApplication::exit(1);
        }
    }

    FormMain& window_;
    ConsoleProgram::WindowHook hook_;
    bool started_ = false;
};

} // namespace

void ConsoleProgram::usePlatformStyle() {
    QApplication::setDesktopSettingsAware(true);
}

int ConsoleProgram::run(QApplication& app, const WindowHook& hook) {
    try {
        auto window = std::make_unique<FormMain>();
        app.setWindowIcon(window->windowIcon());
        window->show();
        new AfterFirstFrame(*window, hook);
        const int code = QApplication::exec();
        window.reset(); // torn down before the application object goes
        return code;
    } catch (const std::exception& e) {
        // The window, if it was built, has been torn down on the way here.
        fail(e.what());
    } catch (...) {
        fail("unexpected error");
    }
    return 1;
}

} // namespace Corvane
