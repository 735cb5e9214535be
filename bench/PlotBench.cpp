// The live plot's cost: one frame of all three strip charts at the 1 h span with a full hour of
// history, drawn into a QImage (CPU time per frame), the decimation of one series alone, one
// packet appended, and the history's memory for an hour.
//
// `bench_plot --plot-png=STEM` instead writes STEM-1h.png, -10min.png and -10s.png: the window over
// a synthetic hour (loads switching, a fuse tripping to OVER CURRENT, the unit unplugged twice),
// with the cursor shown, for a look at what the operator sees.

#include "ColumnGrid.h"
#include "Decimation.h"
#include "LivePlotWindow.h"
#include "Packets.h"
#include "StripChart.h"
#include "TelemetryHistory.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

namespace {

using Corvane::LivePlotWindow;
using Corvane::StripChart;
using Corvane::TelemetryHistory;
using Millis = TelemetryHistory::Millis;

constexpr Millis kStart = 1'767'261'600'000; // a morning, local time of the machine
constexpr Millis kMinute = 60'000;

// One packet of a plausible hour: loads on some channels, channel 4 tripping at minute 54.
class SyntheticUnit {
public:
    void packet(TelemetryHistory& history, Millis t) {
        const double minute = static_cast<double>(t - kStart) / kMinute;
        tarn::DataStreamFeedback packet;
        if (even_) {
            setPower(minute);
            packet.power = &power_;
            packet.status = &status_;
        } else {
            setTemperature(minute);
            packet.temp = &temp_;
        }
        even_ = !even_;
        history.append(t, packet);
    }

private:
    float noise(double size) { return static_cast<float>(size * (unit_(rng_) - 0.5)); }

    void channel(std::size_t ch, bool on, float amps) {
        power_.current[ch] = on ? amps + noise(0.05 * amps + 0.02) : noise(0.01);
        status_.channel[ch].relay_state = on ? tarn::RELAY_ON : tarn::RELAY_OFF;
    }

    void setPower(double minute) {
        const bool ignition = minute > 3;
        channel(0, std::fmod(minute, 12) > 9, 18.0F); // winch, now and then
        channel(1, ignition, 6.5F);                   // lights
        channel(2, std::fmod(minute, 7) < 4, 4.2F);   // fridge cycling
        channel(3, ignition, 2.0F + static_cast<float>(minute / 20));
        // Channel 5's load creeps up until its fuse trips.
        const bool tripped = minute >= 54 && minute < 58;
        channel(4, minute > 10 && !tripped, 3.0F + static_cast<float>(minute - 10) * 0.2F);
        if (tripped) {
            status_.channel[4].relay_state = tarn::RELAY_OVER_CURRENT;
        }
        channel(5, ignition && std::fmod(minute, 3) < 1.5, 9.0F);
        if (minute > 30 && minute < 30.02) {
            power_.current[2] = 25.0F; // one sample's inrush spike
        }
        float total = 0.4F;
        for (const float amps : power_.current) {
            total += amps;
        }
        power_.total_current = total;
        power_.battery =
            (ignition ? 14.1F : 12.6F) + noise(0.05) - static_cast<float>(total) * 0.01F;
        for (std::size_t in = 0; in < 3; ++in) {
            power_.ignition[in] = ignition && in < 2 ? power_.battery - 0.2F : noise(0.02);
        }
        status_.inverter.on = minute > 15;
        status_.inverter.over_temp = minute > 44 && minute < 46;
    }

    void setTemperature(double minute) {
        for (std::size_t s = 0; s < 3; ++s) {
            temp_.internal[s] = 24.0F + static_cast<float>(s) * 3.0F +
                                static_cast<float>(minute) * 0.25F + noise(0.1);
        }
        temp_.external[0] = 11.0F + static_cast<float>(std::sin(minute / 10)) + noise(0.25);
    }

    tarn::PowerF32 power_;
    tarn::StatusF32 status_;
    tarn::TempF32 temp_;
    bool even_ = true;
    std::mt19937 rng_{7};
    std::uniform_real_distribution<double> unit_{0, 1};
};

// A full ring: a little more than an hour of packets, the unit away twice.
void fillHour(TelemetryHistory& history) {
    SyntheticUnit unit;
    const Millis end = kStart + 60 * kMinute;
    const Millis begin = end - static_cast<Millis>(history.capacity()) * 20 - 2 * kMinute;
    for (Millis t = begin; t < end; t += 20) {
        const bool away = (t >= kStart + 20 * kMinute && t < kStart + 21 * kMinute + 30'000) ||
                          (t >= kStart + 50 * kMinute && t < kStart + 50 * kMinute + 30'000);
        if (away) {
            history.markGap(t);
        } else {
            unit.packet(history, t);
        }
    }
}

const TelemetryHistory& hour() {
    static const auto history = [] {
        auto h = std::make_unique<TelemetryHistory>();
        fillHour(*h);
        return h;
    }();
    return *history;
}

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// What an hour of history costs: the ring's own size, and the resident memory it adds once full.
void BM_HistoryMemoryHour(benchmark::State& state) {
    for (auto _ : state) {
        const long before = residentBytes();
        auto history = std::make_unique<TelemetryHistory>();
        fillHour(*history);
        state.counters["ring_bytes"] = static_cast<double>(history->memoryBytes());
        state.counters["resident_bytes_added"] = static_cast<double>(residentBytes() - before);
        state.counters["bytes_per_sample"] = static_cast<double>(TelemetryHistory::kBytesPerSample);
    }
}
BENCHMARK(BM_HistoryMemoryHour)->Iterations(1)->Unit(benchmark::kMillisecond);

std::unique_ptr<LivePlotWindow> makeWindow(const TelemetryHistory& history, std::size_t ticked) {
    auto window = std::make_unique<LivePlotWindow>(history);
    std::array<QString, LivePlotWindow::kChannelRows> names{
        "Winch", "Lights", "Fridge", "Radio",  "Compressor", "Fan",     "Ch. 7",
        "Ch. 8", "Ch. 9",  "Ch. 10", "Ch. 11", "Ch. 12",     "Inverter"};
    window->setChannelNames(names);
    for (std::size_t ch = 0; ch < ticked; ++ch) {
        window->setChannelShown(ch, true);
    }
    window->setChannelShown(TelemetryHistory::kInverterLane, true);
    window->setSpan(LivePlotWindow::Span::OneHour);
    window->resize(1280, 860);
    window->show();
    QApplication::processEvents();
    return window;
}

void drawCharts(LivePlotWindow& window, QImage& image) {
    QPainter painter(&image);
    for (StripChart* chart :
         {window.currentsChart(), window.voltagesChart(), window.temperaturesChart()}) {
        chart->render(&painter, chart->mapTo(&window, QPoint(0, 0)));
    }
}

void setView(LivePlotWindow& window, Millis to) {
    for (StripChart* chart :
         {window.currentsChart(), window.voltagesChart(), window.temperaturesChart()}) {
        chart->setTimeWindow(to - 3'600'000, to);
    }
}

// A live frame: a packet has arrived and the view moved on with it. Columns still holding the
// same samples keep their decimation; the packet's own cost is BM_AppendPacket's.
void BM_DrawThreeChartsHour(benchmark::State& state) {
    TelemetryHistory history;
    fillHour(history);
    const auto window = makeWindow(history, static_cast<std::size_t>(state.range(0)));
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    SyntheticUnit unit;
    Millis t = *history.latestTime();
    for (auto _ : state) {
        unit.packet(history, t += 20);
        setView(*window, t + 1);
        drawCharts(*window, image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["traces"] = static_cast<double>(window->currentsChart()->traces().size() + 8);
}
BENCHMARK(BM_DrawThreeChartsHour)->Arg(5)->Arg(12)->Unit(benchmark::kMillisecond);

// A frame with nothing to keep: each one shows an hour that shares no column with the frame
// before (as after a change of span, or a long drag).
void BM_DrawThreeChartsHourCold(benchmark::State& state) {
    TelemetryHistory history;
    fillHour(history);
    const auto window = makeWindow(history, static_cast<std::size_t>(state.range(0)));
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    const Millis latest = *history.latestTime() + 1;
    bool back = false;
    for (auto _ : state) {
        setView(*window, back ? latest - 1'800'000 : latest);
        back = !back;
        drawCharts(*window, image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DrawThreeChartsHourCold)->Arg(5)->Arg(12)->Unit(benchmark::kMillisecond);

// The cursor moved, no data arrived: the charts redraw from the decimation they have.
void BM_DrawThreeChartsHourCursor(benchmark::State& state) {
    const auto window = makeWindow(hour(), 12);
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    Millis cursor = *hour().latestTime() - 3'000'000;
    for (auto _ : state) {
        for (StripChart* chart :
             {window->currentsChart(), window->voltagesChart(), window->temperaturesChart()}) {
            chart->setCursorTime(cursor += 997);
        }
        drawCharts(*window, image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DrawThreeChartsHourCursor)->Unit(benchmark::kMillisecond);

void BM_DecimateOneSeriesHour(benchmark::State& state) {
    const TelemetryHistory& history = hour();
    const auto range = history.range(*history.oldestTime(), *history.latestTime() + 1);
    std::vector<Corvane::PlotPoint> points;
    for (auto _ : state) {
        const auto grid = Corvane::ColumnGrid::build(
            history.times(range), history.flags(range), TelemetryHistory::kGapBefore,
            *history.oldestTime(), *history.latestTime() + 1, 1100, nullptr,
            Corvane::BlockSummary::kSize);
        Corvane::decimate(grid, history.values(TelemetryHistory::Series::Battery, range), points,
                          history.blocks(TelemetryHistory::Series::Battery));
        benchmark::DoNotOptimize(points.data());
    }
    state.counters["samples"] = static_cast<double>(range.count);
    state.counters["points"] = static_cast<double>(points.size());
}
BENCHMARK(BM_DecimateOneSeriesHour)->Unit(benchmark::kMicrosecond);

void BM_AppendPacket(benchmark::State& state) {
    TelemetryHistory history;
    tarn::PowerF32 power;
    tarn::StatusF32 status;
    Millis t = kStart;
    for (auto _ : state) {
        history.append(t += 20, {&power, &status, nullptr});
    }
}
BENCHMARK(BM_AppendPacket);

int writePictures(const std::string& stem) {
    const auto window = makeWindow(hour(), 6);
    const auto showCursor = [&window](Millis t) {
        for (StripChart* chart :
             {window->currentsChart(), window->voltagesChart(), window->temperaturesChart()}) {
            chart->setCursorTime(t);
        }
    };
    showCursor(kStart + 36 * kMinute);
    bool ok = window->grab().save(QString::fromStdString(stem + "-1h.png"));
    window->setPaused(true);
    window->setSpan(LivePlotWindow::Span::TenMinutes);
    showCursor(kStart + 54 * kMinute + 30'000);
    ok = window->grab().save(QString::fromStdString(stem + "-10min.png")) && ok;
    window->setSpan(LivePlotWindow::Span::TenSeconds);
    showCursor(*hour().latestTime() - 4'000);
    ok = window->grab().save(QString::fromStdString(stem + "-10s.png")) && ok;
    std::printf("%s %s-1h.png, -10min.png and -10s.png\n", ok ? "wrote" : "could not write",
                stem.c_str());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    QApplication app(argc, argv);
    constexpr const char* kPng = "--plot-png=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kPng, std::strlen(kPng)) == 0) {
            return writePictures(argv[i] + std::strlen(kPng));
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
