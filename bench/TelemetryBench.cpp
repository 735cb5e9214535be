// Telemetry cost per packet: readDataStream through the simulated bus (one read of the stream
// pipe plus the decode) and the decoding alone. The heap allocations made inside
// readDataStream are counted through a replaced global operator new and reported as
// "allocs/packet", which must stay 0.

#include "SimBus.h"
#include "TarnUsb.h"
#include "TelemetryDecoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>
#include <vector>

namespace {

std::size_t g_allocations = 0; // the benchmarks run on one thread

} // namespace

// Kept out of line: inlined into callers, GCC mistakes the malloc/free pair for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, std::size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Power + status, 59 bytes, with plausible readings.
Bytes powerStatusPacket() {
    Bytes p(59, 0);
    put16(p, 0, 0x0003);
    put16(p, 6, 12600); // battery
    put16(p, 8, 12400); // ignition 1
    put16(p, 14, 4200); // total current, low half
    for (std::size_t k = 0; k < 12; ++k) {
        put16(p, 18 + 2 * k, static_cast<uint16_t>(350 * k));
    }
    p[42] = 1; // mode
    for (std::size_t k = 0; k < 12; ++k) {
        p[44 + k] = static_cast<uint8_t>((k % 6) << 4);
    }
    p[56] = 0x02;
    p[57] = 0x07;
    return p;
}

// Temperature, 16 bytes.
Bytes temperaturePacket() {
    Bytes p(16, 0);
    put16(p, 0, 0x0004);
    put16(p, 2, 12000);
    put16(p, 4, 12100);
    put16(p, 6, 11900);
    put16(p, 8, 100);
    put16(p, 10, static_cast<uint16_t>(-40));
    return p;
}

// A connected TarnUsb whose unit answers every stream read with `packet`.
class StreamRig {
public:
    explicit StreamRig(const Bytes& packet)
        : packet_(packet) {
        auto& bus = sim::SimBus::instance();
        bus.reset();
        unit_ = bus.attach(0xA37C, 0x010F, 1, 1, 1);
        sim::Reply version;
        version.data.assign(20, 0);
        unit_->queue(0x81, version);
        ok_ = dev_.open();
        const Bytes* source = &packet_;
        unit_->setHandler(0x82, [source](const sim::Transfer& t) {
            const std::size_t n = std::min(source->size(), t.buffer.size());
            std::copy_n(source->begin(), n, t.buffer.begin());
            return sim::Outcome{LIBUSB_SUCCESS, static_cast<int>(n)};
        });
        bus.setRecording(false);
    }
    ~StreamRig() { sim::SimBus::instance().setRecording(true); }
    StreamRig(const StreamRig&) = delete;
    StreamRig& operator=(const StreamRig&) = delete;

    bool ok() const { return ok_; }
    tarn::TarnUsb& dev() { return dev_; }

private:
    Bytes packet_;
    std::shared_ptr<sim::SimDevice> unit_;
    tarn::TarnUsb dev_;
    bool ok_ = false;
};

void readDataStream(benchmark::State& state, const Bytes& packet) {
    StreamRig rig(packet);
    if (!rig.ok()) {
        state.SkipWithError("the simulated unit did not open");
        return;
    }
    // The counter must see an allocation for its zero to mean anything.
    const std::size_t probe = g_allocations;
    benchmark::DoNotOptimize(std::make_unique<int>(1));
    if (g_allocations == probe) {
        state.SkipWithError("allocation counting is not in effect");
        return;
    }
    std::size_t allocations = 0;
    std::size_t failures = 0;
    for (auto _ : state) {
        tarn::DataStreamFeedback fb;
        const std::size_t before = g_allocations;
        const bool ok = rig.dev().readDataStream(fb);
        allocations += g_allocations - before;
        failures += ok ? 0 : 1;
        benchmark::DoNotOptimize(fb);
    }
    if (failures != 0) {
        state.SkipWithError("readDataStream failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["allocs/packet"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void decodeOnly(benchmark::State& state, const Bytes& packet) {
    const std::span<const uint8_t> bytes(packet.data(), packet.size());
    for (auto _ : state) {
        tarn::DataStreamFeedback fb;
        benchmark::DoNotOptimize(bytes.data());
        const bool ok = tarn::TelemetryDecoder::decode(bytes, fb);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(fb);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ReadDataStream_PowerStatus59(benchmark::State& state) {
    readDataStream(state, powerStatusPacket());
}
void BM_ReadDataStream_Temperature16(benchmark::State& state) {
    readDataStream(state, temperaturePacket());
}
void BM_Decode_PowerStatus59(benchmark::State& state) {
    decodeOnly(state, powerStatusPacket());
}
void BM_Decode_Temperature16(benchmark::State& state) {
    decodeOnly(state, temperaturePacket());
}

BENCHMARK(BM_ReadDataStream_PowerStatus59);
BENCHMARK(BM_ReadDataStream_Temperature16);
BENCHMARK(BM_Decode_PowerStatus59);
BENCHMARK(BM_Decode_Temperature16);

} // namespace

BENCHMARK_MAIN();
