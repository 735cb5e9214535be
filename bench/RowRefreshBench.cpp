// The window's share of one poll tick for the channel table: for all 13 rows, the current text
// ("{0:N2}") and the relay status text with its colours, written as the tick writes them (only
// what differs from what is shown). Measured with unchanged readings, with currents that move
// while the relay states stay, with every value and state changing on every tick, with every
// value written regardless (what change-only writing saves), and with the repaint that the
// changed values cause.

#include "NamedColors.h"
#include "NumberText.h"
#include "RelayChannel.h"
#include "TarnUsb.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using Corvane::NamedColor;
using Corvane::NamedColors;
using Corvane::NumberText;

constexpr std::size_t kRows = 13;

struct Reading {
    double current;
    bool on;
};

// Thirteen rows on a shown window, as the main window builds them.
class Table {
public:
    Table()
        : group_(new QGroupBox(&window_)) {
        group_->setGeometry(0, 0, 700, 500);
        window_.resize(700, 500);
        for (std::uint32_t ch = 0; ch < kRows; ++ch) {
            rows_.push_back(
                std::make_unique<Corvane::RelayChannel>(group_, dev_, ch, ch == kRows - 1));
        }
        window_.show();
        QApplication::processEvents();
    }

    void refresh(const std::array<Reading, kRows>& readings, bool changeOnly) {
        static const QColor green = NamedColors::color(NamedColor::Green);
        static const QColor white = NamedColors::color(NamedColor::White);
        static const QColor black = NamedColors::color(NamedColor::Black);
        static const QString on = QStringLiteral("ON");
        static const QString off = QStringLiteral("OFF");
        for (std::size_t i = 0; i < kRows; ++i) {
            Corvane::RelayChannel& row = *rows_[i];
            const Reading& r = readings[i];
            if (changeOnly) {
                // What the polling loop hands each row.
                row.showCurrent(r.current);
                row.showRelayState(r.on ? tarn::RELAY_ON : tarn::RELAY_OFF);
                continue;
            }
            row.textBoxCurrent->setText(NumberText::n2(r.current));
            row.txtBoxRelayStatus->setText(r.on ? on : off);
            QPalette palette = row.txtBoxRelayStatus->palette();
            palette.setColor(QPalette::Base, r.on ? green : white);
            palette.setColor(QPalette::Text, r.on ? white : black);
            row.txtBoxRelayStatus->setPalette(palette);
        }
    }

private:
    Corvane::DeviceSlot dev_ = std::make_unique<tarn::TarnUsb>(); // closed: a refresh makes no call
    QWidget window_;
    QGroupBox* group_;
    std::vector<std::unique_ptr<Corvane::RelayChannel>> rows_;
};

std::array<Reading, kRows> readings(int phase) {
    std::array<Reading, kRows> r{};
    for (std::size_t i = 0; i < kRows; ++i) {
        r[i] = {1.25 * static_cast<double>(i) + 0.01 * phase,
                (i + static_cast<std::size_t>(phase)) % 2 == 0};
    }
    return r;
}

using Readings = std::array<Reading, kRows>;

// Refreshes the table with `a` and `b` in turn, so that every tick differs from the last one
// (or never, when they are equal); `repaint` also lets Qt paint what changed.
void alternate(benchmark::State& state, const Readings& a, const Readings& b, bool changeOnly,
               bool repaint) {
    Table table;
    table.refresh(b, changeOnly);
    bool first = true;
    for (auto _ : state) {
        table.refresh(first ? a : b, changeOnly);
        if (repaint) {
            QApplication::processEvents();
        }
        first = !first;
    }
}

Readings currentsMoved() {
    Readings r = readings(0);
    for (Reading& row : r) {
        row.current += 0.01;
    }
    return r;
}

void BM_RefreshUnchanged(benchmark::State& state) {
    alternate(state, readings(0), readings(0), true, false);
}
BENCHMARK(BM_RefreshUnchanged);

// The usual tick: currents move a little, relay states stay.
void BM_RefreshCurrentsChanged(benchmark::State& state) {
    alternate(state, readings(0), currentsMoved(), true, false);
}
BENCHMARK(BM_RefreshCurrentsChanged);

// Every current, status text and colour changes on every tick.
void BM_RefreshChanged(benchmark::State& state) {
    alternate(state, readings(0), readings(1), true, false);
}
BENCHMARK(BM_RefreshChanged);

void BM_RefreshUnchangedWritingEverything(benchmark::State& state) {
    alternate(state, readings(0), readings(0), false, false);
}
BENCHMARK(BM_RefreshUnchangedWritingEverything);

void BM_RefreshChangedAndRepaint(benchmark::State& state) {
    alternate(state, readings(0), readings(1), true, true);
}
BENCHMARK(BM_RefreshChangedAndRepaint);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
