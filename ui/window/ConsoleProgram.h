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
    // Runs once, from the event loop, as soon as the window is on the screen, together with the
    // first poll: what comes second (the simulated unit's own window, the unit's configuration)
    // does not hold up the console's first frame. An exception from it ends the program with
    // exit code 1.
    using WindowHook = std::function<void(FormMain&)>;

    // The name the program's data folder (where backups are kept) goes by: the same folder
    // tarnwell-cli uses. Set on the application before the window is built.
    static constexpr const char* kApplicationName = "tarnwell";
    // The console on the simulated unit keeps its data apart, as tarnwell-cli-sim does.
    static constexpr const char* kSimApplicationName = "tarnwell-sim";

    // Called before the QApplication exists: the desktop's style, palette and fonts.
    static void usePlatformStyle();
    static int run(QApplication& app, const WindowHook& hook = {});
};

} // namespace Corvane
