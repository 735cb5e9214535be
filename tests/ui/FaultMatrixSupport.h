#pragma once

// The fault matrix's cells and its fixture: the two units the window switches between, what
// the window shows (each shown value with the exchanges that feed it), and the recording of a
// tick's transfers.

#include "PollingTestSupport.h"

#include <QString>

#include <compare>
#include <cstddef>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace uitest {

enum class Phase { Connect, Poll };

// One transfer of a tick, and how it goes wrong.
struct Cell {
    Phase phase = Phase::Connect;
    std::size_t index = 0; // the transfer's place in the tick, from 0
    bool in = false;       // the transfer reads from the unit
    sim::TransferFault fault = sim::TransferFault::Timeout;
};

// The transfers of a clean connection tick: the version read, the configuration reads (and
// the writes the refreshed controls make), the stream switched on.
inline constexpr std::size_t kConnectTransfers = 83;
// A clean poll tick: the stream read, then the script status, unit id and PIN exchanges, with
// the PIN written back once when its box turns checked.
inline constexpr std::size_t kPollTransfers = 11;

std::vector<Cell> connectCells();
std::vector<Cell> pollCells();
std::string cellName(const ::testing::TestParamInfo<Cell>& info);

// The exchange a transfer belongs to: a configuration command with its channel or script type
// (-1 when it has none), or one of the stream pipe's two uses.
struct Source {
    int command = -1;
    int selector = -1;
    auto operator<=>(const Source&) const = default;
};
inline constexpr int kStreamRead = 0x100;
inline constexpr int kStreamSwitch = 0x101;

// What a tick did on the bus.
struct Recording {
    std::vector<Source> sources;        // one per transfer, in order
    std::vector<std::size_t> exchanges; // the exchange each transfer belongs to, from 0
    std::vector<bool> in;               // the transfer read from the unit
    std::vector<unsigned> timeouts;
    std::chrono::nanoseconds elapsed{0}; // how far the unit's clock moved
};
// The transfers as "W23 R23 ...": direction and command (S for the stream pipe).
std::string describe(const Recording& recording);

// One value the window shows, with the exchanges it comes from.
struct Shown {
    std::string name;
    std::vector<Source> from;
    QString value;
    bool operator==(const Shown& other) const { return name == other.name && value == other.value; }
};
using Snapshot = std::vector<Shown>;
void PrintTo(const Shown& shown, std::ostream* os);
// Success when both show the same; otherwise each value that differs.
::testing::AssertionResult sameShown(const Snapshot& now, const Snapshot& expected);
void PrintTo(const Cell& cell, std::ostream* os);

// What a spoilt tick must leave behind.
struct Verdict {
    bool closes = false;       // the device ends the tick closed
    std::size_t extra = 0;     // transfers the spoilt tick may make beyond the clean one's
    bool everything = false;   // no exchange after the fault took place (the unit never opened)
    std::set<Source> failed{}; // the exchanges whose values must still show what they did before
    bool failedAny(const std::vector<Source>& from) const;
};

enum class State { A, B };

class FaultMatrixTest : public PollingTest {
protected:
    void applyA();
    void applyB();
    // The window, connected to a unit, goes on to show unit A, which is then unplugged.
    void showA();
    // The unit's id, PIN and running script for that state, and its next packet.
    void pollState(State state);
    static Bytes packetB();

    Snapshot snapshot(Phase phase);
    Recording record(const std::function<void()>& action);

    static ::testing::AssertionResult cellMatches(const Cell& cell, const Recording& clean);
    // Runs the tick again with the cell's transfer spoilt, from the display `before` (what the
    // clean tick started from), and judges it against the clean tick and what it showed
    // (`after`). Then the following ticks: a unit that went away is plugged back in, and a
    // closed device opens again.
    Verdict spoilAndRecover(const Cell& cell, const Recording& clean, const Snapshot& before,
                            const Snapshot& after);
    static void expectShown(const Snapshot& now, const Snapshot& before, const Snapshot& clean,
                            const Verdict& verdict);
    // The unit streams, and the window shows the last power block it sent.
    void expectLiveTelemetry();
    // The unit still holds unit B's configuration: nothing the window wrote changed it.
    void expectUnitKeepsB();

private:
    static Verdict verdictFor(const Cell& cell, const Recording& clean);
    static void checkBounded(const Recording& spoilt, const Recording& clean,
                             const Verdict& verdict);
    void recover(const Cell& cell, const Verdict& verdict);

    sim::SimUnitSettings settingsB_;
};

} // namespace uitest
