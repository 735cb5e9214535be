// The console on a simulated unit: the same window over the simulated USB bus, with one unit
// attached before the window is built and running in real time, so that its telemetry streams
// at its own rate while the window polls it.

#include "ConsoleProgram.h"
#include "FormMain.h"
#include "ReplayOption.h"
#include "SimBus.h"
#include "SimRealClock.h"
#include "SimUnit.h"
#include "SimUnitWindow.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) try {
    const tarnsim::ReplayOption replay = tarnsim::ReplayOption::parse(argc, argv);
    if (!replay.error.empty()) {
        std::fprintf(stderr, "tarnwell-sim: %s\n", replay.error.c_str());
        return 2;
    }
    // Declared first so that they outlive the window, whose teardown still talks to the unit.
    sim::SimRealClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);
    // The call record is for tests; kept here it would grow with every tick for as long as the
    // demo runs.
    sim::SimBus::instance().setRecording(false);
    unit.setPacketSource(replay.replay.get());

    Corvane::ConsoleProgram::usePlatformStyle();
    QApplication app(argc, argv);
    // A data folder of its own: backups of the demo's simulated unit stay apart from real ones.
    QApplication::setApplicationName(
        QString::fromLatin1(Corvane::ConsoleProgram::kSimApplicationName));
    return Corvane::ConsoleProgram::run(app, [&unit](Corvane::FormMain& window) {
        // Owned by the console window, so it goes with it, before the unit does.
        auto* control = new tarnsim::SimUnitWindow(unit, &window);
        control->move(window.x() + window.width() + 16, window.y());
        control->show();
    });
} catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwell: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tarnwell: unexpected error\n");
    return 1;
}
