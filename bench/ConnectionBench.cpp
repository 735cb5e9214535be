// The console's connection sequence against the simulated unit, under the manual clock so that
// no simulated waiting is timed. All of it runs in this process, so the figure per exchange is
// the console's CPU time plus the simulated bus and unit behind it: an upper bound on the
// console's own share.

#include "SimBus.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// What the window does once a unit has opened: read its whole configuration, then start the
// stream. Returns false as soon as anything fails.
bool connect(tarn::TarnUsb& dev, std::string& script) {
    bool ok = dev.open(); // opens the unit and reads its version
    for (uint32_t ch = 0; ok && ch < 12; ++ch) {
        double current = 0, i2t = 0;
        bool protect = false;
        ok = dev.getChannelConfig(ch, &current, &i2t, &protect);
    }
    for (uint32_t ch = 0; ok && ch <= 12; ++ch) {
        ok = dev.getChannelName(ch, &script);
    }
    uint16_t groups = 0;
    uint8_t mode = 0, id = 0;
    uint32_t pin = 0;
    bool bluetooth = false;
    ok = ok && dev.getChannelGroups(&groups) && dev.getMode(&mode) && dev.getId(&id) &&
         dev.getPassword(&pin);
    for (uint32_t type = 1; ok && type <= 4; ++type) {
        ok = dev.getScript(script, type);
    }
    return ok && dev.getBluetoothEnabled(&bluetooth) && dev.sendDataStreamEnable();
}

// One OUT transfer per exchange (the stream enable and the close's stream disable included).
std::size_t exchangesPerConnection(sim::SimBus& bus, tarn::TarnUsb& dev, std::string& script) {
    bus.clearCalls();
    if (!connect(dev, script)) {
        return 0;
    }
    dev.closeDevice();
    std::size_t outs = 0;
    for (const auto& t : bus.transfers()) {
        outs += (t.endpoint & 0x80) == 0 ? 1 : 0;
    }
    return outs;
}

void BM_ConnectionSequence(benchmark::State& state) {
    sim::SimBus& bus = sim::SimBus::instance();
    bus.reset();
    sim::SimManualClock clock;
    sim::SimUnit unit(bus, clock);
    for (std::size_t i = 0; i < sim::kScripts; ++i) {
        unit.settings().scripts[i] = std::string(1024, static_cast<char>('a' + i));
    }
    tarn::TarnUsb dev;
    std::string script;
    const std::size_t exchanges = exchangesPerConnection(bus, dev, script);
    if (exchanges == 0) {
        state.SkipWithError("the connection sequence failed");
        return;
    }
    bus.setRecording(false);

    for (auto _ : state) {
        if (!connect(dev, script)) {
            state.SkipWithError("the connection sequence failed");
            break;
        }
        dev.closeDevice();
        benchmark::DoNotOptimize(script.data());
    }
    state.counters["exchanges"] = static_cast<double>(exchanges);
    // Seconds of CPU time per exchange.
    state.counters["per_exchange"] = benchmark::Counter(
        static_cast<double>(exchanges),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    bus.setRecording(true);
}
BENCHMARK(BM_ConnectionSequence)->Unit(benchmark::kMicrosecond);

// One plain get, for comparison with the sequence's average.
void BM_SingleExchange(benchmark::State& state) {
    sim::SimBus& bus = sim::SimBus::instance();
    bus.reset();
    sim::SimManualClock clock;
    sim::SimUnit unit(bus, clock);
    tarn::TarnUsb dev;
    if (!dev.open()) {
        state.SkipWithError("the unit did not open");
        return;
    }
    bus.setRecording(false);
    uint8_t mode = 0;
    for (auto _ : state) {
        if (!dev.getMode(&mode)) {
            state.SkipWithError("getMode failed");
            break;
        }
        benchmark::DoNotOptimize(mode);
    }
    bus.setRecording(true);
}
BENCHMARK(BM_SingleExchange);

} // namespace

BENCHMARK_MAIN();
