// A picture of Tools > Live Plot as the demo shows it: the real window over the simulated unit
// on the real-time clock, three channels switched on one after another and a fourth carrying
// far more than its fuse allows, so that it trips; after the given seconds (25 unless given)
// the plot window at its 1 min span is grabbed to FILE.png. Run it under a virtual X server:
//
//   xvfb-run probe_plot_snapshot FILE.png [seconds]

#include "FormMain.h"
#include "LivePlotWindow.h"
#include "SimBus.h"
#include "SimRealClock.h"
#include "SimUnit.h"
#include "TelemetryTools.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: probe_plot_snapshot FILE.png [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 25;
    sim::SimRealClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);
    sim::SimBus::instance().setRecording(false);
    const double loads[] = {4.5, 2.0, 7.5, 60.0};
    const std::size_t channels[] = {0, 2, 5, 8};
    for (std::size_t i = 0; i < 4; ++i) {
        unit.setLoad(channels[i], loads[i]);
    }
    unit.setIgnition(0, true);
    QApplication app(argc, argv);
    auto window = std::make_unique<Corvane::FormMain>();
    window->show();
    window->menu().livePlotToolStripMenuItem->trigger();
    Corvane::LivePlotWindow* plot = window->telemetryTools().livePlot();
    plot->setSpan(Corvane::LivePlotWindow::Span::OneMinute);
    plot->resize(1100, 700);
    for (std::size_t i = 0; i < 4; ++i) {
        plot->setChannelShown(channels[i], true);
        QTimer::singleShot(static_cast<int>(2000 + 4000 * i), &app, [&window, &channels, i] {
            if (window->device() && window->device()->isOpen()) {
                window->device()->sendRelayRequestOn(static_cast<std::uint32_t>(channels[i]));
            }
        });
    }
    QTimer::singleShot(seconds * 1000, &app, [plot, argv] {
        const bool saved = plot->grab().save(QString::fromLocal8Bit(argv[1]));
        std::printf("%s %s\n", saved ? "wrote" : "could not write", argv[1]);
        QCoreApplication::quit();
    });
    QApplication::exec();
    window.reset();
    return 0;
}
