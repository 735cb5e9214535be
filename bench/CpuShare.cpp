// The console's share of one core while it runs: the real window and its 1 ms timer on the
// offscreen platform, over the simulated unit on the real-time clock, for a stretch of the real
// event loop (10 s unless given). "connected" polls a unit streaming at 50 packets a second;
// "unplugged" has the unit off the bus, so that every tick tries to open it. The figure is the
// process's user plus system time from getrusage over the loop, divided by the wall time.
// "plot" is "connected" with Tools > Live Plot open at its 10 min span; "recording" adds a
// telemetry recording (to a file in /tmp) to that.
//
//   probe_cpu_share connected|unplugged|plot|recording [seconds]

#include "FormMain.h"
#include "LivePlotWindow.h"
#include "ProcessCpu.h"
#include "SimBus.h"
#include "SimRealClock.h"
#include "SimUnit.h"
#include "TelemetryTools.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    const bool unplugged = std::strcmp(mode, "unplugged") == 0;
    const bool recording = std::strcmp(mode, "recording") == 0;
    const bool plot = recording || std::strcmp(mode, "plot") == 0;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    if (argc < 2 || seconds <= 0) {
        std::fprintf(stderr,
                     "usage: probe_cpu_share connected|unplugged|plot|recording [seconds]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    sim::SimRealClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);
    sim::SimBus::instance().setRecording(false); // as tarnwell-sim runs
    QApplication app(argc, argv);
    auto window = std::make_unique<Corvane::FormMain>();
    window->show();
    if (unplugged) {
        unit.unplug();
    }
    if (plot) {
        window->menu().livePlotToolStripMenuItem->trigger();
        window->telemetryTools().livePlot()->setSpan(Corvane::LivePlotWindow::Span::TenMinutes);
    }
    if (recording) {
        window->telemetryTools().startRecording(QStringLiteral("/tmp/probe_cpu_share.csv"));
    }
    // Let start-up and the connection sequence pass before measuring.
    const auto settle = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < settle) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const double cpuStart = cpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    bool open = false;
    // Quitting closes the window, which lets go of the device: look at it first.
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, [&window, &open] {
        open = window->device() && window->device()->isOpen();
        QCoreApplication::quit();
    });
    QApplication::exec();
    const double cpu = cpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("%s: %.3f s CPU in %.3f s, %.2f %% of a core (%s)\n", mode, cpu, wall,
                100.0 * cpu / wall, open ? "unit open" : "no unit open");
    window.reset();
    return 0;
}
