// tarnwell-cli-sim: the same terminal program over the simulated USB bus, with one simulated unit
// attached and running in real time (50 telemetry packets a second), so that every command,
// publish included, can be tried without a unit. Built, never installed.

#include "BackupStore.h"
#include "SimBus.h"
#include "SimRealClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"
#include "TerminalMain.h"

#include <array>

int main(int argc, char** argv) {
    sim::SimRealClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);
    // The call record is for tests; kept here it would grow with every packet.
    sim::SimBus::instance().setRecording(false);
    // Loads on every channel but the third, so that a relay switched on draws a current.
    constexpr std::array<double, 12> kLoads{2.5, 4.0, 0.0, 7.5, 1.2, 12.0,
                                            3.3, 0.8, 5.0, 6.5, 9.0, 15.0};
    for (std::size_t ch = 0; ch < kLoads.size(); ++ch) {
        unit.setLoad(ch, kLoads[ch]);
    }

    tarn::TarnUsb dev;
    // The simulated console's folder: backups of a simulated unit stay apart from real ones.
    return Corvane::cli::runInTerminal(
        argc, argv, dev,
        Corvane::mapping::BackupStore(Corvane::mapping::BackupStore::defaultRoot("tarnwell-sim")));
}
