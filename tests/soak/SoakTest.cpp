// Many simulated hours of the real window polling the simulated unit at 50 packets a second,
// with the unit unplugged and replugged once a cycle and its loads, faults, inverter, Bluetooth
// and ignition changed every minute. The console must keep working throughout (reconnecting,
// re-reading the unit, showing readings that follow the loads) and must not grow: neither live
// heap blocks beyond what the warm-up showed, nor resident memory by more than 1 MB after it.
//
// The length comes from TARN_SOAK_HOURS (bench/soak.sh runs 24 hours); unset, the short form.

#include "FormMain.h"
#include "HeapMeter.h"
#include "PollingLoop.h"
#include "RelayChannel.h"
#include "SoakPlan.h"
#include "WindowFixture.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using sim::SimClock;
using soak::HeapSample;
using soak::MinuteChanges;
using soak::SoakPlan;

// The unit streams one packet every 20 ms; a stream read that waits longer has timed out.
constexpr SimClock::Duration kPacketPeriod = 20ms;
// While unplugged a tick makes no transfer and so moves no time: each one stands for the
// 1 ms timer interval plus the failed open it makes.
constexpr SimClock::Duration kRetryStep = 10ms;
constexpr std::int64_t kResidentAllowance = 1 << 20;
constexpr std::uint32_t kSeed = 15;
const QString kFirmwareText = QStringLiteral("Firmware v1.2.7");

struct Tally {
    long long ticks = 0;
    long long packets = 0;        // stream reads that delivered a packet
    long long streamTimeouts = 0; // stream reads that waited out their timeout
    long long connects = 0;       // ticks that opened the unit and read it in
    long long unplugs = 0;
};

struct Sample {
    long long minute = 0;
    HeapSample heap;
};

class Soak : public uitest::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Corvane::PollingLoop::resetFirmwareChecked();
        bus().setRecording(false); // the record would grow with every transfer
        window().show();
    }
    void TearDown() override {
        bus().setRecording(true);
        WindowTest::TearDown();
    }

    bool connected() { return window().device()->isOpen(); }
    void tick();
    void tickUntil(SimClock::Duration deadline);
    void unplugAndReplug(SimClock::Duration away);
    void apply(const MinuteChanges& changes);
    void tour();
    void setLoad(std::size_t channel, double amps) {
        unit().setLoad(channel, amps);
        loads_.at(channel) = amps;
    }
    // Clicks a row's button by its name ("button1" ON, "button2" OFF), as the operator would.
    void click(const Corvane::RelayChannel& row, const char* name);
    void checkReadings(long long minute);
    void takeSample(long long minute);
    void printRow(const SoakPlan& plan, long long minute);
    void judge(const SoakPlan& plan);

    Tally tally_;
    Tally printed_; // the tally at the last table row
    std::array<double, 12> loads_{};
    int faultChannel_ = -1;
    std::vector<Sample> samples_;
    double lastTotal_ = 0;
    int totalChanges_ = 0; // in this cycle
    // TARN_SOAK_EVERY_MINUTE set: every sample is printed, not only each cycle's last.
    bool everyMinute_ = qEnvironmentVariableIsSet("TARN_SOAK_EVERY_MINUTE");
};

void Soak::tick() {
    const bool wasOpen = connected();
    const SimClock::Duration before = clock().now();
    window().timer1_Tick();
    QCoreApplication::processEvents(); // what the window's event loop does between ticks
    ++tally_.ticks;
    const bool open = connected();
    if (wasOpen && open) {
        ++(clock().now() - before <= kPacketPeriod ? tally_.packets : tally_.streamTimeouts);
    } else if (open) {
        ++tally_.connects;
    } else {
        clock().advance(kRetryStep);
    }
}

void Soak::tickUntil(SimClock::Duration deadline) {
    while (clock().now() < deadline) {
        tick();
    }
}

// While it is away the unit is renamed, so that the window can be seen to read it afresh.
void Soak::unplugAndReplug(SimClock::Duration away) {
    ASSERT_TRUE(connected());
    ++tally_.unplugs;
    const auto channel = static_cast<std::size_t>(tally_.unplugs % 12);
    const std::string name = "Soak " + std::to_string(tally_.unplugs);
    unit().unplug();
    unit().settings().names.at(channel) = name;
    tick(); // the poll meets the vanished unit and closes it
    EXPECT_FALSE(connected());
    tickUntil(clock().now() + away);
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Disconnected");
    unit().replug();
    tick();
    ASSERT_TRUE(connected()) << "no reconnection after unplug " << tally_.unplugs;
    EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), kFirmwareText);
    EXPECT_EQ(window().channels().at(channel)->lblChannel->text(), QString::fromStdString(name));
    EXPECT_TRUE(unit().streaming());
}

// Every row names its buttons alike: the one on this row is the one level with its label.
void Soak::click(const Corvane::RelayChannel& row, const char* name) {
    QPushButton* nearest = nullptr;
    for (QPushButton* b : window().groupChannels()->findChildren<QPushButton*>(name)) {
        if (nearest == nullptr ||
            std::abs(b->y() - row.lblChannel->y()) < std::abs(nearest->y() - row.lblChannel->y())) {
            nearest = b;
        }
    }
    ASSERT_NE(nearest, nullptr) << name;
    QTest::mouseClick(nearest, Qt::LeftButton);
}

void Soak::apply(const MinuteChanges& c) {
    const auto load = static_cast<std::size_t>(c.loadChannel);
    setLoad(load, c.loadAmps);
    Corvane::RelayChannel& row = *window().channels().at(static_cast<std::size_t>(c.clickChannel));
    click(row, c.clickOn ? "button1" : "button2");
    switch (c.extra) {
    case MinuteChanges::Extra::Fault:
        if (faultChannel_ >= 0) {
            unit().setFault(static_cast<std::size_t>(faultChannel_), sim::ChannelFault::None);
        }
        faultChannel_ = c.first ? c.faultChannel : -1;
        if (faultChannel_ >= 0) {
            unit().setFault(static_cast<std::size_t>(faultChannel_),
                            c.faultIsFuse ? sim::ChannelFault::BadFuse
                                          : sim::ChannelFault::BadRelay);
        }
        break;
    case MinuteChanges::Extra::Inverter:
        unit().setInverterOverload(c.first);
        unit().setInverterOverTemp(c.second);
        click(window().inverterChannel(), c.third ? "button2" : "button1");
        break;
    case MinuteChanges::Extra::Bluetooth:
        unit().setBluetoothPresent(c.first || c.third);
        unit().setBluetoothConnected(c.second);
        unit().setBluetoothSearching(c.third);
        break;
    case MinuteChanges::Extra::Ignition:
        unit().setIgnition(1, c.first);
        unit().setIgnition(2, c.second);
        break;
    }
}

// Before the first sample every row, the inverter row and the Bluetooth label go through every
// state the schedule can later bring, each held for a moment of polling: Qt keeps per-widget
// state (palettes, cached looks) that is made the first time a widget shows a state, and a
// random schedule would meet some pairs only hours in, which would read as growth.
void Soak::tour() {
    const auto hold = [this](SimClock::Duration d) { tickUntil(clock().now() + d); };
    for (std::size_t i = 0; i < window().channels().size(); ++i) {
        const Corvane::RelayChannel& row = *window().channels().at(i);
        click(row, "button1");
        for (const sim::ChannelFault fault :
             {sim::ChannelFault::BadRelay, sim::ChannelFault::BadFuse, sim::ChannelFault::None}) {
            unit().setFault(i, fault);
            hold(500ms);
        }
        setLoad(i, 16.0); // trips within a second
        hold(2s);
        click(row, "button1");
        setLoad(i, 0.0); // NO LOAD
        hold(500ms);
        setLoad(i, 2.0);
        hold(500ms);
        click(row, "button2");
        hold(500ms);
    }
    const Corvane::RelayChannel& inverter = window().inverterChannel();
    click(inverter, "button1");
    for (const auto& [load, temp] : {std::pair{true, false}, {false, true}, {false, false}}) {
        unit().setInverterOverload(load);
        unit().setInverterOverTemp(temp);
        hold(500ms);
    }
    click(inverter, "button2");
    for (const auto& [present, connected, searching] : {std::tuple{false, false, false},
                                                        {true, false, true},
                                                        {true, true, false},
                                                        {true, false, false}}) {
        unit().setBluetoothPresent(present);
        unit().setBluetoothConnected(connected);
        unit().setBluetoothSearching(searching);
        hold(500ms);
    }
    for (const bool on : {true, false}) {
        unit().setIgnition(1, on);
        unit().setIgnition(2, on);
        hold(500ms);
    }
}

// The total current shown is the sum of the loads of the channels shown ON (both come from
// the same power+status packet), within the unit's 1 % noise per channel, a milliampere of
// rounding per channel and the display's two decimals.
void Soak::checkReadings(long long minute) {
    double expected = 0;
    for (std::size_t i = 0; i < loads_.size(); ++i) {
        if (window().channels().at(i)->txtBoxRelayStatus->text() == "ON") {
            expected += loads_.at(i);
        }
    }
    const QString text = named<QLineEdit>("txtTotalCurrent")->text();
    bool ok = false;
    const double shown = QLocale().toDouble(text, &ok);
    ASSERT_TRUE(ok) << "total current \"" << text.toStdString() << "\" at minute " << minute;
    EXPECT_NEAR(shown, expected, 0.01 * expected + 0.012 + 0.005) << "at minute " << minute;
    // Numbers, not texts: the soak's own bookkeeping must hold no heap between samples.
    if (shown > 0 && shown != lastTotal_) {
        ++totalChanges_;
    }
    lastTotal_ = shown;
}

void Soak::takeSample(long long minute) {
    // The event loop deletes what was left to it, and gets to paint.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    samples_.push_back({minute, soak::sampleHeap()});
    if (everyMinute_) {
        const HeapSample& h = samples_.back().heap;
        std::printf("  minute %lld: %lld blocks, %lld bytes, %lld kB resident\n", minute,
                    static_cast<long long>(h.blocks), static_cast<long long>(h.bytes),
                    static_cast<long long>(h.residentBytes / 1024));
    }
}

void Soak::printRow(const SoakPlan& plan, long long minute) {
    const long long cycleMinutes =
        std::chrono::duration_cast<std::chrono::minutes>(plan.cycle).count();
    if ((minute + 1) % cycleMinutes != 0) {
        return;
    }
    const HeapSample& heap = samples_.back().heap;
    std::printf("%3lld:%02lld %9lld %9lld %10lld %12lld %12lld %9lld %s\n", (minute + 1) / 60,
                (minute + 1) % 60, tally_.ticks - printed_.ticks, tally_.packets - printed_.packets,
                tally_.connects - 1, static_cast<long long>(heap.blocks),
                static_cast<long long>(heap.bytes),
                static_cast<long long>(heap.residentBytes / 1024),
                plan.inWarmUp(minute) ? "warm-up" : "");
    std::fflush(stdout);
    printed_ = tally_;
    // Loads change every minute, so a cycle of readings that stood still would be a stalled
    // display, not a quiet unit.
    EXPECT_GE(totalChanges_, 2) << "the total current hardly changed up to minute " << minute;
    totalChanges_ = 0;
}

// Baseline: the most blocks and bytes any warm-up sample held, and the resident memory at the
// end of the warm-up; later samples may not go beyond them (resident memory by 1 MB).
void Soak::judge(const SoakPlan& plan) {
    HeapSample base;
    base.blocks = base.bytes = -1;
    std::size_t firstJudged = 0;
    for (; firstJudged < samples_.size() && plan.inWarmUp(samples_[firstJudged].minute);
         ++firstJudged) {
        const HeapSample& h = samples_[firstJudged].heap;
        base.blocks = std::max(base.blocks, h.blocks);
        base.bytes = std::max(base.bytes, h.bytes);
        base.residentBytes = h.residentBytes;
    }
    ASSERT_GT(firstJudged, 0u) << "no warm-up sample";
    ASSERT_LT(firstJudged, samples_.size()) << "no sample after the warm-up";
    HeapSample most = samples_[firstJudged].heap;
    for (std::size_t i = firstJudged; i < samples_.size(); ++i) {
        const HeapSample& h = samples_[i].heap;
        most.blocks = std::max(most.blocks, h.blocks);
        most.bytes = std::max(most.bytes, h.bytes);
        most.residentBytes = std::max(most.residentBytes, h.residentBytes);
    }
    std::printf("heap: %s\nafter the warm-up, against it: blocks %lld (baseline %lld, %+lld), "
                "bytes %lld (%+lld), resident %lld kB (%+lld kB)\n",
                soak::heapSource(), static_cast<long long>(most.blocks),
                static_cast<long long>(base.blocks),
                static_cast<long long>(most.blocks - base.blocks),
                static_cast<long long>(most.bytes), static_cast<long long>(most.bytes - base.bytes),
                static_cast<long long>(most.residentBytes / 1024),
                static_cast<long long>((most.residentBytes - base.residentBytes) / 1024));
    EXPECT_LE(most.blocks, base.blocks) << "live heap blocks grew after the warm-up";
    if (soak::residentMemoryMeaningful()) {
        EXPECT_LE(most.residentBytes, base.residentBytes + kResidentAllowance)
            << "resident memory grew by more than 1 MB after the warm-up";
    }
}

TEST_F(Soak, TheConsoleKeepsWorkingAndDoesNotGrow) {
    std::string error;
    const std::optional<SoakPlan> plan = SoakPlan::fromEnvironment(error);
    ASSERT_TRUE(plan) << error;
    soak::ChangeSchedule schedule(kSeed);
    std::printf("%6s %9s %9s %10s %12s %12s %9s\n", "time", "ticks", "packets", "reconnects",
                "live blocks", "live bytes", "RSS kB");
    tick();
    ASSERT_TRUE(connected());
    ASSERT_EQ(named<QLabel>("labelConnectionStatus")->text(), kFirmwareText);
    tour();
    samples_.reserve(static_cast<std::size_t>(plan->minutes()));
    const SimClock::Duration start = clock().now();
    for (long long minute = 0; minute < plan->minutes() && !HasFailure(); ++minute) {
        const SimClock::Duration begin = start + std::chrono::minutes(minute);
        if (plan->startsCycle(minute)) {
            schedule = soak::ChangeSchedule(kSeed); // every cycle replays the same changes
        }
        apply(schedule.next());
        if (plan->startsCycle(minute)) {
            tickUntil(begin + plan->unplugAt);
            unplugAndReplug(plan->unplugFor);
        }
        tickUntil(begin + std::chrono::minutes(1));
        checkReadings(minute);
        takeSample(minute);
        printRow(*plan, minute);
    }
    EXPECT_EQ(tally_.connects - 1, tally_.unplugs) << "reconnections against unplugs";
    EXPECT_EQ(tally_.streamTimeouts, 0) << "stream reads timed out on a streaming unit";
    judge(*plan);
}

} // namespace
