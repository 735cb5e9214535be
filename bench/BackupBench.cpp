// What a backup costs before a load, a factory reset or a send: the exchanges with the unit (the
// same reads as a save) and the time to read them from the simulated unit and write the file.
// The simulated unit answers at once, so the time is the console's share; on a real unit each
// exchange adds its USB round trip.

#include "BackupStore.h"
#include "SimBus.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"
#include "UnitBackup.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>

namespace {

void BM_TakeBackup(benchmark::State& state) {
    sim::SimBus& bus = sim::SimBus::instance();
    bus.reset();
    sim::SimManualClock clock;
    sim::SimUnit unit(bus, clock);
    for (std::size_t i = 0; i < sim::kScripts; ++i) {
        unit.settings().scripts[i] =
            std::string(static_cast<std::size_t>(state.range(0)), static_cast<char>('a' + i));
    }
    tarn::TarnUsb dev;
    char pattern[] = "/tmp/tarn-backup-bench-XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    const Corvane::mapping::BackupStore store(root);
    if (!dev.open()) {
        state.SkipWithError("the unit did not open");
        return;
    }
    bus.clearCalls();
    const auto first = Corvane::mapping::takeBackup(dev, store, "before-load", std::locale());
    const auto bytes = first.written() ? std::filesystem::file_size(first.path) : 0; // kept 100
    std::size_t exchanges = 0;
    for (const auto& t : bus.transfers()) {
        exchanges += t.endpoint == tarn::TarnUsb::kCfgEndpoint ? 1 : 0;
    }
    bus.setRecording(false);
    for (auto _ : state) {
        const auto backup = Corvane::mapping::takeBackup(dev, store, "before-load", std::locale());
        if (!backup.written()) {
            state.SkipWithError(backup.why.c_str());
            break;
        }
    }
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["file_bytes"] = static_cast<double>(bytes);
    bus.setRecording(true);
    std::filesystem::remove_all(root);
}
// Each of the four scripts empty (a factory-set unit), 1 KiB, and as long as the unit keeps.
BENCHMARK(BM_TakeBackup)->Arg(0)->Arg(1024)->Arg(65535)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
