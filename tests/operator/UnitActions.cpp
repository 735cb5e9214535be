#include "Actions.h"

#include "Session.h"

#include "SimManualClock.h"
#include "SimUnit.h"

#include <array>
#include <chrono>
#include <span>

namespace monkey {
namespace {

using sim::TransferFault;

// Units the cable may bring back: the usual one, one with firmware old enough for the update
// notice, one without the inverter output, and one with the largest serial number shown.
const std::array<sim::SimIdentity, 4> kIdentities{{
    {3, 1, 2, 7, 0, 0x00012345},
    {3, 1, 0, 3, 0, 777},
    {1, 1, 2, 7, 0, 4242},
    {2, 1, 0, 5, 0, 0xFFFFFFFF},
}};

// A connection makes some eighty transfers, a poll about ten: a spoilt one within that many
// lands in the next connection or in the polls and commands before it.
constexpr std::size_t kSpoilWithin = 90;

constexpr std::array kTransferFaults{TransferFault::Timeout, TransferFault::NoDevice,
                                     TransferFault::Io,      TransferFault::Pipe,
                                     TransferFault::Short,   TransferFault::WrongId};
constexpr std::array kReplyFaults{sim::ReplyFault::Timeout, sim::ReplyFault::Short,
                                  sim::ReplyFault::WrongId};
constexpr std::array<int, 3> kOpenFaults{LIBUSB_ERROR_ACCESS, LIBUSB_ERROR_BUSY, LIBUSB_ERROR_IO};
constexpr std::array kLoads{0.0, 0.5, 3.0, 9.0, 16.0, 40.0};

std::string number(std::size_t n) {
    return std::to_string(n);
}

} // namespace

std::string unplug(Session& s) {
    if (!s.unit.device()->attached()) {
        return {};
    }
    s.unit.unplug();
    return "unplug";
}

namespace {

std::string plugIn(Session& s, std::string what) {
    if (s.dice.oneIn(4)) {
        const sim::SimIdentity& id = s.dice.pick(std::span<const sim::SimIdentity>(kIdentities));
        s.unit.setIdentity(id);
        what += " as v" + number(id.major) + '.' + number(id.minor) + '.' + number(id.build) +
                " hw" + number(id.hwRev);
    }
    s.unit.device()->setOpenResult(LIBUSB_SUCCESS);
    s.refusesOpen = false;
    s.unit.replug();
    return what;
}

} // namespace

// Also after the unit took itself off the bus (a spoilt transfer or a vanishing unit), or when
// it cannot be opened.
std::string replug(Session& s) {
    return s.unit.device()->attached() && !s.refusesOpen ? std::string() : plugIn(s, "replug");
}

// A unit still on the bus restarts: a quick unplug and replug.
std::string restart(Session& s) {
    return s.unit.device()->attached() ? plugIn(s, "restart the unit") : std::string();
}

std::string spoilTransfer(Session& s) {
    const std::size_t index = s.dice.below(kSpoilWithin);
    s.unit.device()->failTransfer(index,
                                  s.dice.pick(std::span<const TransferFault>(kTransferFaults)));
    return "spoil transfer " + number(index);
}

std::string spoilReplies(Session& s) {
    const auto count = static_cast<unsigned>(s.dice.between(1, 3));
    s.unit.failNextReplies(s.dice.pick(std::span<const sim::ReplyFault>(kReplyFaults)), count);
    return "spoil " + number(count) + " replies";
}

std::string vanishMidway(Session& s) {
    const auto requests = static_cast<unsigned>(s.dice.between(1, 60));
    s.unit.unplugAfterRequests(requests);
    return "unplug after " + number(requests) + " requests";
}

// Another program holds the unit, or the user may not open it, until it is plugged in again.
std::string refuseOpen(Session& s) {
    s.unit.device()->setOpenResult(s.dice.pick(std::span<const int>(kOpenFaults)));
    s.refusesOpen = true;
    return "the unit cannot be opened";
}

std::string passTime(Session& s) {
    const int ms = s.dice.oneIn(8) ? s.dice.between(5000, 60000) : s.dice.between(0, 2000);
    s.clock.advance(std::chrono::milliseconds(ms));
    return "wait " + std::to_string(ms) + " ms";
}

std::string changeVehicle(Session& s) {
    const std::size_t channel = s.dice.below(sim::kRelayChannels);
    const bool on = s.dice.oneIn(2);
    switch (s.dice.below(6)) {
    case 0:
        s.unit.setLoad(channel, s.dice.pick(std::span<const double>(kLoads)));
        return "load on channel " + number(channel);
    case 1:
        s.unit.setFault(channel, static_cast<sim::ChannelFault>(s.dice.below(3)));
        return "fault on channel " + number(channel);
    case 2:
        s.unit.setInverterOverload(on);
        s.unit.setInverterOverTemp(s.dice.oneIn(3));
        return "inverter overload or heat";
    case 3:
        s.unit.setBluetoothPresent(!s.dice.oneIn(4));
        s.unit.setBluetoothConnected(on);
        s.unit.setBluetoothSearching(s.dice.oneIn(3));
        return "Bluetooth changes";
    case 4:
        s.unit.setIgnition(s.dice.below(3), on);
        return "ignition input changes";
    default:
        s.unit.setTelemetryRate(static_cast<unsigned>(s.dice.between(1, 200)));
        return "telemetry rate changes";
    }
}

} // namespace monkey
