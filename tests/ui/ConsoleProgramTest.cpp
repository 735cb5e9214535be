// The program's body: what waits for the window's first frame.

#include "ConsoleProgram.h"
#include "FormMain.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

namespace uitest {
namespace {

class ConsoleProgramTest : public UiTest {};

// The hook and the first poll (which connects the unit) come once the window is on the screen;
// nothing has polled the unit before.
TEST_F(ConsoleProgramTest, PollsAndRunsTheHookOnceTheWindowIsOnTheScreen) {
    bool exposed = false;
    bool polling = false;
    bool opened = true;
    const int code = Corvane::ConsoleProgram::run(*qApp, [&](Corvane::FormMain& w) {
        exposed = w.windowHandle() != nullptr && w.windowHandle()->isExposed();
        polling = w.timer1()->isActive();
        opened = false;
        for (const sim::CallRecord& call : bus().calls()) {
            opened = opened || call.call == sim::Call::Open;
        }
        QTimer::singleShot(0, &w, [] { QCoreApplication::exit(0); });
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(exposed);
    EXPECT_TRUE(polling);
    EXPECT_FALSE(opened);
}

} // namespace
} // namespace uitest
