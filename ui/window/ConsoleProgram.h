#pragma once

#include <functional>

class QApplication;

namespace Corvane {

class FormMain;

// The body of both programs' main: builds the window, shows it and runs the event loop until
// the window closes or the application is told to exit. The window is torn down however the
// loop ends, by an error too; no exception leaves. Returns the process exit code.
class ConsoleProgram {
public:
    // Runs with the window built, before the loop starts (the simulated unit's own window).
    using WindowHook = std::function<void(FormMain&)>;

    // Called before the QApplication exists: the desktop's style, palette and fonts.
    static void usePlatformStyle();
    static int run(QApplication& app, const WindowHook& hook = {});
};

} // namespace Corvane
