// CPU time of one poll tick of the real main window on the simulated unit (manual clock): the
// stream read and decoding, the display refresh, and the three configuration exchanges (script
// status, unit id, PIN). Measured for the unit's power+status packet and for its temperature
// packet, each delivered again and again (the steady state: the same readings, so change-only
// writing paints nothing new), and for the unit's own stream, whose currents, voltages and
// temperatures move from packet to packet.

#include "FormMain.h"
#include "SimBus.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kStreamIn = 0x80 | tarn::TarnUsb::kStreamEndpoint;

// A connected window, and the unit's first power+status and temperature packets.
class Console {
public:
    Console()
        : unit_(sim::SimBus::instance(), clock_) {
        window_ = std::make_unique<Corvane::FormMain>();
        window_->timer1()->stop(); // ticks come from the benchmark alone
        window_->show();
        window_->timer1_Tick(); // connects
        sim::SimBus::instance().clearCalls();
        window_->timer1_Tick();
        window_->timer1_Tick();
        for (const sim::CallRecord& t : sim::SimBus::instance().transfers()) {
            if (t.endpoint == kStreamIn && t.data.size() >= 2) {
                (t.data[0] & 0x01 ? powerStatus_ : temperature_) = t.data;
            }
        }
        if (powerStatus_.empty() || temperature_.empty() || !window_->device()->isOpen()) {
            throw std::runtime_error("the simulated unit did not stream");
        }
        sim::SimBus::instance().setRecording(false);
        QApplication::processEvents();
    }

    void tickWith(const Bytes& packet) {
        sim::Reply reply;
        reply.data = packet;
        unit_.device()->queue(kStreamIn, std::move(reply));
        window_->timer1_Tick();
    }
    void tick() { window_->timer1_Tick(); }

    const Bytes& powerStatus() const { return powerStatus_; }
    const Bytes& temperature() const { return temperature_; }

private:
    sim::SimManualClock clock_;
    sim::SimUnit unit_;
    std::unique_ptr<Corvane::FormMain> window_;
    Bytes powerStatus_;
    Bytes temperature_;
};

// Made in main and gone before the application object.
std::unique_ptr<Console> theConsole;

Console& console() {
    return *theConsole;
}

void BM_TickPowerStatus(benchmark::State& state) {
    Console& c = console();
    for (auto _ : state) {
        c.tickWith(c.powerStatus());
    }
}
BENCHMARK(BM_TickPowerStatus);

void BM_TickTemperature(benchmark::State& state) {
    Console& c = console();
    for (auto _ : state) {
        c.tickWith(c.temperature());
    }
}
BENCHMARK(BM_TickTemperature);

// Alternating packets from the unit itself, with moving values: the mean of the two kinds.
void BM_TickUnitStream(benchmark::State& state) {
    Console& c = console();
    for (auto _ : state) {
        c.tick();
    }
}
BENCHMARK(BM_TickUnitStream);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    theConsole = std::make_unique<Console>();
    benchmark::RunSpecifiedBenchmarks();
    theConsole.reset();
    benchmark::Shutdown();
    return 0;
}
