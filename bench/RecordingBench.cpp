// Recording telemetry: the cost per packet of a line into the recording (formatting and the
// buffered write, with the file written out once a simulated second, at 50 packets a second),
// and of the line's formatting alone. Budget: 5 µs a packet.

#include "TelemetryCsv.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

struct Blocks {
    tarn::PowerF32 power;
    tarn::StatusF32 status;
    tarn::TempF32 temp;

    Blocks() {
        power.battery = 12.481f;
        power.total_current = 23.456f;
        for (std::size_t ch = 0; ch < 12; ++ch) {
            power.current[ch] = 1.234f * static_cast<float>(ch);
            status.channel[ch].relay_state = static_cast<std::uint8_t>(ch % 6);
        }
        for (std::size_t i = 0; i < 3; ++i) {
            power.ignition[i] = 12.3f;
            temp.internal[i] = 41.007f;
        }
        temp.external = {22.25f, 23.5f, -4.75f, 30.0f};
    }
};

void BM_RecordPacket(benchmark::State& state) {
    const Blocks b;
    const tarn::DataStreamFeedback blocks{&b.power, &b.status, &b.temp};
    const std::string path = "/tmp/bench_recording.csv";
    Corvane::TelemetryCsvWriter writer;
    if (!writer.open(path, 0)) {
        state.SkipWithError("cannot write /tmp/bench_recording.csv");
        return;
    }
    Corvane::TelemetryCsvWriter::Millis now = 0;
    for (auto _ : state) {
        now += 20;
        benchmark::DoNotOptimize(writer.write(now, static_cast<double>(now) / 1000.0, blocks));
    }
    writer.close();
    std::remove(path.c_str());
}
BENCHMARK(BM_RecordPacket);

void BM_FormatLine(benchmark::State& state) {
    const Blocks b;
    const tarn::DataStreamFeedback blocks{&b.power, &b.status, &b.temp};
    std::string line;
    line.reserve(512);
    double seconds = 0;
    for (auto _ : state) {
        line.clear();
        Corvane::appendTelemetryCsvLine(line, seconds += 0.02, blocks);
        benchmark::DoNotOptimize(line.data());
    }
}
BENCHMARK(BM_FormatLine);

} // namespace

BENCHMARK_MAIN();
