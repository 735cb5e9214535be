// Every transfer of the connection sequence and of one poll tick, spoilt in each way a USB link
// can spoil it, one transfer at a time, through the real window and its tick.
//
// Each cell first records the clean tick from the same starting display and unit, so that it
// knows which exchange each transfer belongs to and what a clean tick shows. Then it repeats
// the tick with its one transfer spoilt and checks:
// - the tick made no more transfers than the clean one, each within its timeout, and the unit's
//   clock moved no further than those timeouts allow;
// - the device is closed exactly when the error means the unit is gone (or when the version
//   read, which decides whether there is a unit at all, failed);
// - every control shows what the clean tick showed, except those whose exchange failed (and,
//   once the device is closed, every exchange after it), which still show what they did;
// - the following ticks reconnect where needed, and the window comes to show the unit as it
//   is, live telemetry included.

#include "FaultMatrixSupport.h"

namespace uitest {
namespace {

class ConnectionTickFaults : public FaultMatrixTest, public ::testing::WithParamInterface<Cell> {};

// The window shows unit A, now unplugged, when unit B is plugged in.
TEST_P(ConnectionTickFaults, ShowWhatCouldBeReadAndRecover) {
    const Cell& cell = GetParam();
    applyB();
    tick();
    showA();
    const Snapshot shownA = snapshot(Phase::Connect);

    applyB();
    unit().replug();
    const Recording clean = record([&] { tick(); });
    const Snapshot shownB = snapshot(Phase::Connect);
    ASSERT_EQ(clean.sources.size(), kConnectTransfers)
        << "the connection sequence changed: the matrix's model of it needs the same change:"
        << describe(clean);
    ASSERT_TRUE(cellMatches(cell, clean));

    showA(); // back to where the clean tick started
    ASSERT_TRUE(sameShown(snapshot(Phase::Connect), shownA));

    applyB();
    unit().replug();
    const Verdict verdict = spoilAndRecover(cell, clean, shownA, shownB);
    if (verdict.closes) {
        expectShown(snapshot(Phase::Connect), shownA, shownB, Verdict{});
    }
    expectLiveTelemetry();
    expectUnitKeepsB();
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, ConnectionTickFaults, ::testing::ValuesIn(connectCells()),
                         cellName);

class PollTickFaults : public FaultMatrixTest, public ::testing::WithParamInterface<Cell> {};

// The window shows state A of the readings, script status, id and PIN when the unit moves to
// state B.
TEST_P(PollTickFaults, ShowWhatCouldBeReadAndRecover) {
    const Cell& cell = GetParam();
    applyB();
    tick(); // connects
    pollState(State::A);
    tick();
    const Snapshot shownA = snapshot(Phase::Poll);

    pollState(State::B);
    const Recording clean = record([&] { tick(); });
    const Snapshot shownB = snapshot(Phase::Poll);
    ASSERT_EQ(clean.sources.size(), kPollTransfers)
        << "the poll tick changed: the matrix's model of it needs the same change:"
        << describe(clean);
    ASSERT_TRUE(cellMatches(cell, clean));

    pollState(State::A);
    tick();
    ASSERT_TRUE(sameShown(snapshot(Phase::Poll), shownA));

    pollState(State::B);
    const Verdict verdict = spoilAndRecover(cell, clean, shownA, shownB);
    unit().device()->clearQueues();
    queueStream(packetB());
    tick();
    expectShown(snapshot(Phase::Poll), shownA, shownB, Verdict{});
    expectUnitKeepsB();
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, PollTickFaults, ::testing::ValuesIn(pollCells()), cellName);

} // namespace
} // namespace uitest
