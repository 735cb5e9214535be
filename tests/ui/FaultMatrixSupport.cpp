#include "FaultMatrixSupport.h"

#include "ButtonCheckBox.h"
#include "DropDownList.h"
#include "FocusLineEdit.h"
#include "NumberText.h"
#include "RelayChannel.h"
#include "ScriptsPanel.h"
#include "TelemetryDecoder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>
#include <array>
#include <map>
#include <numeric>

namespace uitest {
namespace {

using sim::TransferFault;
using tarn::Command;

constexpr int cmd(Command c) {
    return tarn::commandByte(c);
}

constexpr std::array kAllFaults{TransferFault::Timeout, TransferFault::NoDevice,
                                TransferFault::Io,      TransferFault::Pipe,
                                TransferFault::Short,   TransferFault::WrongId};

const char* faultName(TransferFault fault) {
    switch (fault) {
    case TransferFault::Timeout:
        return "Timeout";
    case TransferFault::NoDevice:
        return "NoDevice";
    case TransferFault::Io:
        return "Io";
    case TransferFault::Pipe:
        return "Pipe";
    case TransferFault::Short:
        return "Short";
    case TransferFault::WrongId:
        return "WrongId";
    }
    return "?";
}

// Every fault of a transfer; an echoed id only where a configuration reply echoes one.
void addCells(std::vector<Cell>& cells, Phase phase, std::size_t index, bool in, bool echoes) {
    for (TransferFault fault : kAllFaults) {
        if (fault != TransferFault::WrongId || echoes) {
            cells.push_back({phase, index, in, fault});
        }
    }
}

// Which exchange a request on the configuration pipe starts.
Source requestSource(const Bytes& request) {
    if (request.empty()) {
        return {};
    }
    const int command = request[0];
    const bool selects =
        command == cmd(Command::GET_CHANNEL_CONFIG) ||
        command == cmd(Command::SET_CHANNEL_CONFIG) || command == cmd(Command::GET_CHANNEL_NAME) ||
        command == cmd(Command::SET_CHANNEL_NAME) || command == cmd(Command::READ_SCRIPT_CHUNK);
    return {command, selects && request.size() > 1 ? int{request[1]} : -1};
}

QString checked(const QAbstractButton& box) {
    return box.isChecked() ? QStringLiteral("checked") : QStringLiteral("clear");
}

QString statusBox(const QLineEdit& box) {
    const QPalette palette = box.palette();
    return box.text() + QLatin1Char('|') + palette.color(QPalette::Base).name() + QLatin1Char('|') +
           palette.color(QPalette::Text).name();
}

std::string numbered(const char* what, std::size_t n) {
    return std::string(what) + ' ' + std::to_string(n);
}

} // namespace

// ---- Cells ----

std::vector<Cell> connectCells() {
    std::vector<Cell> cells;
    // The version exchange and the configuration exchanges alternate request and reply; the
    // stream is switched on last.
    for (std::size_t i = 0; i + 1 < kConnectTransfers; ++i) {
        const bool in = i % 2 == 1;
        addCells(cells, Phase::Connect, i, in, in);
    }
    addCells(cells, Phase::Connect, kConnectTransfers - 1, false, false);
    return cells;
}

std::vector<Cell> pollCells() {
    std::vector<Cell> cells;
    addCells(cells, Phase::Poll, 0, true, false); // a telemetry packet echoes nothing
    for (std::size_t i = 1; i < kPollTransfers; ++i) {
        const bool in = i % 2 == 0;
        addCells(cells, Phase::Poll, i, in, in);
    }
    return cells;
}

std::string cellName(const ::testing::TestParamInfo<Cell>& info) {
    const Cell& cell = info.param;
    return "transfer" + std::to_string(cell.index) + (cell.in ? "_in_" : "_out_") +
           faultName(cell.fault);
}

void PrintTo(const Cell& cell, std::ostream* os) {
    *os << (cell.phase == Phase::Connect ? "connection" : "poll") << " transfer " << cell.index
        << (cell.in ? " (read) " : " (write) ") << faultName(cell.fault);
}

std::string describe(const Recording& recording) {
    std::string out;
    for (std::size_t i = 0; i < recording.sources.size(); ++i) {
        const int command = recording.sources.at(i).command;
        out += recording.in.at(i) ? " R" : " W";
        out += command >= kStreamRead ? std::string("S") : std::to_string(command);
    }
    return out;
}

void PrintTo(const Shown& shown, std::ostream* os) {
    *os << shown.name << " = \"" << shown.value.toStdString() << '"';
}

::testing::AssertionResult sameShown(const Snapshot& now, const Snapshot& expected) {
    if (now.size() != expected.size()) {
        return ::testing::AssertionFailure() << "not the same values";
    }
    auto result = ::testing::AssertionSuccess();
    bool same = true;
    for (std::size_t k = 0; k < now.size(); ++k) {
        if (!(now.at(k) == expected.at(k))) {
            if (same) {
                result = ::testing::AssertionFailure();
                same = false;
            }
            result << "\n  " << now.at(k).name << ": \"" << now.at(k).value.toStdString()
                   << "\", expected \"" << expected.at(k).value.toStdString() << '"';
        }
    }
    return result;
}

bool Verdict::failedAny(const std::vector<Source>& from) const {
    return everything || std::any_of(from.begin(), from.end(),
                                     [this](const Source& s) { return failed.count(s) > 0; });
}

// ---- The two units ----

void FaultMatrixTest::applyA() {
    unit().settings() = sim::factoryDefaults();
    unit().setIdentity(identity(1, 1, 0, 1, 1111));
}

void FaultMatrixTest::applyB() {
    sim::SimUnitSettings s = sim::factoryDefaults();
    for (std::size_t i = 0; i < sim::kRelayChannels; ++i) {
        s.names.at(i) = "Pump " + std::to_string(i + 1);
        s.channels.at(i) = {0, 15000, 40000000};
    }
    s.names.at(12) = "Inverter B";
    s.groups = 0x0A5A;
    s.mode = 2;
    s.id = 3;
    s.pin = 0x04030201;
    s.bluetooth = false;
    std::string longScript;
    for (int line = 0; longScript.size() < 150; ++line) {
        longScript += "on " + std::to_string(line % 12 + 1) + "\nwait 100\n";
    }
    s.scripts = {"on 1", longScript, "", "x"};
    unit().settings() = s;
    settingsB_ = s;
    unit().setIdentity(identity(1, 2, 7, 3, 74565));
}

void FaultMatrixTest::showA() {
    unit().unplug();
    tick(2); // the first finds the unit gone, the second shows it
    applyA();
    unit().replug();
    tick();
    unit().unplug();
    tick(2);
}

void FaultMatrixTest::pollState(State state) {
    const bool b = state == State::B;
    unit().settings().id = b ? settingsB_.id : 0;
    unit().settings().pin = b ? settingsB_.pin : 0xFFFFFFFF;
    ASSERT_TRUE(b ? windowDev().executeScriptIgnitionOn() : windowDev().executeScriptStop());
    if (b) {
        queueStream(packetB());
    } else {
        queueStream(powerStatusPacket(11000, 2000, 100, StatusBytes{}));
    }
}

Bytes FaultMatrixTest::packetB() {
    StatusBytes status;
    status.mode = 1;
    constexpr std::array<std::uint8_t, 6> codes{1, 2, 3, 4, 5, 9};
    for (std::size_t i = 0; i < status.relay.size(); ++i) {
        status.relay.at(i) = codes.at(i % codes.size());
    }
    status.inverter = 0x06;  // on, over load
    status.bluetooth = 0x03; // present and connected, but disabled
    return powerStatusPacket(12500, 4200, 900, status);
}

// ---- What the window shows ----

Snapshot FaultMatrixTest::snapshot(Phase phase) {
    const Source stream{kStreamRead};
    const Source version{cmd(Command::READ_VERSION)};
    Corvane::FormMain& w = window();
    Snapshot s;
    const auto add = [&s](std::string name, std::vector<Source> from, QString value) {
        s.push_back({std::move(name), std::move(from), std::move(value)});
    };
    for (std::size_t i = 0; i < w.channels().size(); ++i) {
        const Corvane::RelayChannel& row = *w.channels().at(i);
        const Source config{cmd(Command::GET_CHANNEL_CONFIG), static_cast<int>(i)};
        add(numbered("fuse", i), {config}, row.comboBoxFuse->currentText());
        add(numbered("I2t", i), {config}, row.txtBoxCurrentSq->text());
        add(numbered("protect", i), {config}, checked(*row.checkBox1));
        add(numbered("name", i), {{cmd(Command::GET_CHANNEL_NAME), static_cast<int>(i)}},
            row.lblChannel->text());
        add(numbered("current", i), {stream}, row.textBoxCurrent->text());
        add(numbered("state", i), {stream}, statusBox(*row.txtBoxRelayStatus));
    }
    Corvane::RelayChannel& inverter = w.inverterChannel();
    add("inverter name", {{cmd(Command::GET_CHANNEL_NAME), 12}}, inverter.lblChannel->text());
    add("inverter state", {stream}, statusBox(*inverter.txtBoxRelayStatus));
    add("inverter row", {version},
        inverter.lblChannel->isVisibleTo(&w) ? QStringLiteral("shown") : QStringLiteral("hidden"));
    add("firmware", {version}, named<QLabel>("labelConnectionStatus")->text());
    add("serial", {version}, named<QLabel>("labelSerialNumber")->text());
    for (int n = 1; n <= 12; ++n) {
        add(numbered("group", static_cast<std::size_t>(n)), {{cmd(Command::GET_CHANNEL_GROUPS)}},
            checked(*named<QCheckBox>(QStringLiteral("chkGrp%1").arg(n))));
    }
    add("mode", {phase == Phase::Connect ? Source{cmd(Command::GET_MODE)} : stream},
        QString::number(named<Corvane::DropDownList>("cboMode")->currentIndex()));
    add("id", {{cmd(Command::GET_ID)}},
        QString::number(named<Corvane::DropDownList>("cboId")->currentIndex()));
    add("PIN", {{cmd(Command::GET_MODE_PASSWORD)}},
        named<Corvane::FocusLineEdit>("txtPin")->text() + QLatin1Char('|') +
            checked(*named<QCheckBox>("chkPin")));
    const std::array scripts{named<QPlainTextEdit>("textboxStartup"),
                             named<QPlainTextEdit>("textboxShutdown"),
                             named<QPlainTextEdit>("textboxValetStartup"),
                             named<QPlainTextEdit>("textboxValetShutdown")};
    for (std::size_t k = 0; k < scripts.size(); ++k) {
        add(numbered("script", k + 1), {{cmd(Command::READ_SCRIPT_CHUNK), static_cast<int>(k + 1)}},
            Corvane::ScriptsPanel::scriptText(*scripts.at(k)));
    }
    add("Bluetooth enabled", {{cmd(Command::GET_BT_USE)}},
        checked(*named<QCheckBox>("checkBoxEnableBluetooth")));
    add("Bluetooth", {stream}, named<QLabel>("labelBluetoothValue")->text());
    add("voltage", {stream}, named<QLineEdit>("txtVoltage")->text());
    add("total current", {stream}, named<QLineEdit>("txtTotalCurrent")->text());
    add("ignitions", {stream},
        named<QLineEdit>("txtIgn1")->text() + '|' + named<QLineEdit>("txtIgn2")->text() + '|' +
            named<QLineEdit>("txtIgn3")->text());
    add("run startup", {{cmd(Command::GET_SCRIPT_STATUS)}},
        checked(*named<Corvane::ButtonCheckBox>("checkboxScriptStartup")));
    add("run shutdown", {{cmd(Command::GET_SCRIPT_STATUS)}},
        checked(*named<Corvane::ButtonCheckBox>("checkboxScriptShutdown")));
    return s;
}

// ---- Recording and spoiling ----

Recording FaultMatrixTest::record(const std::function<void()>& action) {
    bus().clearCalls();
    const auto start = clock().now();
    action();
    Recording r;
    r.elapsed = clock().now() - start;
    Source last;
    std::size_t exchange = 0;
    for (const sim::CallRecord& t : bus().transfers()) {
        const bool in = (t.endpoint & 0x80) != 0;
        const bool stream = (t.endpoint & 0x7F) == tarn::TarnUsb::kStreamEndpoint;
        // A request starts an exchange and its reply ends it; the stream pipe's transfers
        // stand alone.
        if (!r.sources.empty() && (stream || !in)) {
            ++exchange;
        }
        if (stream) {
            r.sources.push_back({in ? kStreamRead : kStreamSwitch});
        } else {
            if (!in) {
                last = requestSource(t.data);
            }
            r.sources.push_back(last);
        }
        r.exchanges.push_back(exchange);
        r.in.push_back(in);
        r.timeouts.push_back(t.timeout);
    }
    return r;
}

Verdict FaultMatrixTest::spoilAndRecover(const Cell& cell, const Recording& clean,
                                         const Snapshot& before, const Snapshot& after) {
    const Verdict verdict = verdictFor(cell, clean);
    unit().device()->failTransfer(cell.index, cell.fault);
    const Recording spoilt = record([&] { tick(); });
    EXPECT_FALSE(unit().device()->transferFaultPending()) << "the tick never reached the transfer";
    checkBounded(spoilt, clean, verdict);
    EXPECT_EQ(windowDev().isOpen(), !verdict.closes);
    expectShown(snapshot(cell.phase), before, after, verdict);
    recover(cell, verdict);
    return verdict;
}

::testing::AssertionResult FaultMatrixTest::cellMatches(const Cell& cell, const Recording& clean) {
    if (cell.index >= clean.sources.size() || clean.in.at(cell.index) != cell.in) {
        return ::testing::AssertionFailure()
               << "transfer " << cell.index << " is not " << (cell.in ? "a read" : "a write");
    }
    const int command = clean.sources.at(cell.index).command;
    if (cell.fault == TransferFault::WrongId && (command == kStreamRead || command < 0)) {
        return ::testing::AssertionFailure() << "transfer " << cell.index << " echoes no id";
    }
    return ::testing::AssertionSuccess();
}

// ---- Judging ----

Verdict FaultMatrixTest::verdictFor(const Cell& cell, const Recording& clean) {
    Verdict v;
    const Source hit = clean.sources.at(cell.index);
    if (hit.command == cmd(Command::READ_VERSION)) {
        v.closes = true; // no version, no unit
        v.everything = true;
        return v;
    }
    const bool gone = cell.fault == TransferFault::NoDevice || cell.fault == TransferFault::Io;
    // A stream that did not start would leave the readings frozen: the window closes the unit
    // and connects it afresh.
    v.closes = gone || hit.command == kStreamSwitch;
    // A script chunk cut short is no loss: the next request asks from where the cut one ended.
    const bool resumed = cell.fault == TransferFault::Short && cell.in &&
                         hit.command == cmd(Command::READ_SCRIPT_CHUNK);
    // One more exchange picks up a cut chunk; closing switches the stream off first.
    v.extra = resumed ? 2 : (hit.command == kStreamSwitch && !gone ? 1 : 0);

    // How each exchange goes: those before the fault as usual, the spoilt one fails (unless
    // resumed), those after fail once the device is closed.
    const std::size_t spoilt = clean.exchanges.at(cell.index);
    // A script is read in chunks and needs them all. Any other value is shown by its first
    // read: a read again later (the PIN, after writing back what it showed) follows only from
    // a first read that worked, and finds the same.
    std::map<Source, bool> failed;
    for (std::size_t j = 0; j < clean.sources.size(); ++j) {
        const std::size_t exchange = clean.exchanges.at(j);
        if (j > 0 && clean.exchanges.at(j - 1) == exchange) {
            continue; // the reply of an exchange already counted
        }
        const bool worked = exchange < spoilt || (exchange == spoilt ? resumed : !gone);
        const Source& source = clean.sources.at(j);
        const bool chunked = source.command == cmd(Command::READ_SCRIPT_CHUNK);
        const auto [entry, first] = failed.try_emplace(source, !worked);
        if (!first && chunked) {
            entry->second = entry->second || !worked;
        }
    }
    for (const auto& [source, bad] : failed) {
        if (bad) {
            v.failed.insert(source);
        }
    }
    return v;
}

void FaultMatrixTest::checkBounded(const Recording& spoilt, const Recording& clean,
                                   const Verdict& verdict) {
    EXPECT_LE(spoilt.sources.size(), clean.sources.size() + verdict.extra)
        << "the spoilt tick tried again";
    for (unsigned timeout : spoilt.timeouts) {
        EXPECT_GT(timeout, 0u) << "a wait without end";
        EXPECT_LE(timeout, static_cast<unsigned>(tarn::TarnInterface::kCfgTimeout));
    }
    const unsigned allowed = std::accumulate(spoilt.timeouts.begin(), spoilt.timeouts.end(), 0u);
    EXPECT_LE(spoilt.elapsed, std::chrono::milliseconds(allowed));
}

void FaultMatrixTest::expectShown(const Snapshot& now, const Snapshot& before,
                                  const Snapshot& clean, const Verdict& verdict) {
    ASSERT_EQ(now.size(), clean.size());
    for (std::size_t k = 0; k < now.size(); ++k) {
        const Shown& expected = verdict.failedAny(now.at(k).from) ? before.at(k) : clean.at(k);
        EXPECT_EQ(now.at(k).value, expected.value) << now.at(k).name;
    }
}

void FaultMatrixTest::recover(const Cell& cell, const Verdict& verdict) {
    if (cell.fault == TransferFault::NoDevice) {
        tick();
        EXPECT_EQ(named<QLabel>("labelConnectionStatus")->text(), "Disconnected");
        EXPECT_EQ(named<QLabel>("labelBluetoothValue")->text(), "Unknown");
        unit().replug();
    }
    if (verdict.closes) {
        tick();
        EXPECT_TRUE(windowDev().isOpen()) << "no reconnection";
    }
}

void FaultMatrixTest::expectLiveTelemetry() {
    bus().clearCalls();
    tick(2);
    EXPECT_TRUE(windowDev().isOpen());
    EXPECT_TRUE(unit().streaming());
    const auto transfers = bus().transfers();
    const auto packet = std::find_if(transfers.rbegin(), transfers.rend(), [](const auto& t) {
        return t.endpoint == (0x80 | tarn::TarnUsb::kStreamEndpoint) && t.result == 0 &&
               t.data.size() > 2 && (t.data[0] & 0x01) != 0;
    });
    ASSERT_NE(packet, transfers.rend()) << "no power block arrived";
    tarn::DataStreamFeedback fb;
    ASSERT_TRUE(tarn::TelemetryDecoder::decode(packet->data, fb));
    ASSERT_NE(fb.power, nullptr);
    EXPECT_EQ(named<QLineEdit>("txtVoltage")->text(), Corvane::NumberText::n2(fb.power->battery));
}

} // namespace uitest

namespace uitest {

void FaultMatrixTest::expectUnitKeepsB() {
    const sim::SimUnitSettings& now = unit().settings();
    const sim::SimUnitSettings& b = settingsB_;
    EXPECT_EQ(now.groups, b.groups);
    EXPECT_EQ(now.mode, b.mode);
    EXPECT_EQ(now.id, b.id);
    EXPECT_EQ(now.pin, b.pin);
    EXPECT_EQ(now.bluetooth, b.bluetooth);
    EXPECT_EQ(now.names, b.names);
    EXPECT_EQ(now.scripts, b.scripts);
    for (std::size_t i = 0; i < b.channels.size(); ++i) {
        EXPECT_EQ(now.channels.at(i).flags, b.channels.at(i).flags) << "channel " << i;
        EXPECT_EQ(now.channels.at(i).currentMa, b.channels.at(i).currentMa) << "channel " << i;
        EXPECT_EQ(now.channels.at(i).i2tSteps, b.channels.at(i).i2tSteps) << "channel " << i;
    }
}

} // namespace uitest
