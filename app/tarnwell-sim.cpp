// The console on a simulated unit: the same window over the simulated USB bus, with one unit
// attached before the window is built and running in real time, so that its telemetry streams
// at its own rate while the window polls it.

#include "ConsoleProgram.h"
#include "SimBus.h"
#include "SimRealClock.h"
#include "SimUnit.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) try {
    // Declared first so that they outlive the window, whose teardown still talks to the unit.
    sim::SimRealClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);

    Corvane::ConsoleProgram::usePlatformStyle();
    QApplication app(argc, argv);
    return Corvane::ConsoleProgram::run(app);
} catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwell: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tarnwell: unexpected error\n");
    return 1;
}
