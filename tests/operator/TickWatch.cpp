#include "TickWatch.h"

#include "Session.h"

#include "FormMain.h"
#include "Packets.h"
#include "SimBus.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnInterface.h"
#include "TarnUsb.h"

#include <algorithm>
#include <string>
#include <utility>

namespace monkey {
namespace {

using tarn::TarnInterface;
using tarn::TarnUsb;
using Ms = std::chrono::milliseconds;

constexpr std::uint8_t kCfgOut = TarnUsb::kCfgEndpoint;
constexpr std::uint8_t kCfgIn = 0x80 | TarnUsb::kCfgEndpoint;
constexpr std::uint8_t kStreamOut = TarnUsb::kStreamEndpoint;
constexpr std::uint8_t kStreamIn = 0x80 | TarnUsb::kStreamEndpoint;

// A connection reads the version, every channel's configuration (12) and name (13 with the
// inverter's), the groups, mode, id, PIN and Bluetooth switch; it may write back the groups and
// the Bluetooth switch once each, and the PIN three times at most (the text changed, the box
// turned checked, the read after it). A poll reads the script status, id and PIN, with the same
// PIN write-backs.
constexpr std::size_t kConnectReads = 1 + 12 + 13 + 5;
constexpr std::size_t kPinWriteBacks = 3;
constexpr std::size_t kConnectWriteBacks = 2 + kPinWriteBacks;
constexpr std::size_t kPollExchanges = 3 + kPinWriteBacks;
// A connection switches the stream on, and off again when that failed; a poll reads one packet.
constexpr std::size_t kConnectStream = 2;
constexpr std::size_t kPollStream = 1;

// A script comes in chunks of what a packet holds after its header, the terminator in the last;
// one chunk cut short by a spoilt transfer costs one more.
std::size_t scriptExchanges(const std::string& script) {
    constexpr std::size_t payload = tarn::ConfigPacket::script_data::kMaxChunk;
    return script.size() / payload + 1 + 1;
}

std::string ms(std::chrono::nanoseconds d) {
    return std::to_string(std::chrono::duration_cast<Ms>(d).count()) + " ms";
}

struct Made {
    std::size_t exchanges = 0;
    std::size_t streamTransfers = 0;
    Ms waits{0}; // the sum of the transfers' timeouts
};

Made made(std::size_t first) {
    Made m;
    const auto& calls = sim::SimBus::instance().calls();
    for (std::size_t i = first; i < calls.size(); ++i) {
        const sim::CallRecord& c = calls[i];
        if (c.call != sim::Call::BulkTransfer && c.call != sim::Call::InterruptTransfer) {
            continue;
        }
        m.exchanges += c.endpoint == kCfgOut ? 1 : 0;
        m.streamTransfers += c.endpoint == kStreamOut || c.endpoint == kStreamIn ? 1 : 0;
        m.waits += Ms(c.timeout);
    }
    return m;
}

} // namespace

Ms TickBudget::bound() const {
    return Ms(static_cast<long>(exchanges) * 2 * TarnInterface::kCfgTimeout +
              static_cast<long>(streamTransfers) * TarnUsb::kStreamTimeout);
}

TickWatch::TickWatch(Corvane::FormMain& window, sim::SimUnit& unit, sim::SimManualClock& clock,
                     Findings& findings)
    : window_(window)
    , unit_(unit)
    , clock_(clock)
    , findings_(findings) {}

TickBudget TickWatch::budgetFor(bool open, const sim::SimUnitSettings& unit) {
    if (open) {
        return {kPollExchanges, kPollStream};
    }
    std::size_t exchanges = kConnectReads + kConnectWriteBacks;
    for (const std::string& script : unit.scripts) {
        exchanges += scriptExchanges(script);
    }
    return {exchanges, kConnectStream};
}

void TickWatch::tick() {
    const bool open = window_.device() && window_.device()->isOpen();
    const TickBudget budget = budgetFor(open, std::as_const(unit_).settings());
    const std::size_t first = sim::SimBus::instance().calls().size();
    const auto start = clock_.now();
    window_.timer1_Tick();
    const auto elapsed = clock_.now() - start;
    ++count_;
    longest_ = std::max(longest_, elapsed);

    const char* what = open ? "a poll tick" : "a connection tick";
    const Made m = made(first);
    if (m.exchanges > budget.exchanges || m.streamTransfers > budget.streamTransfers) {
        findings_.add(std::string(what) + " made " + std::to_string(m.exchanges) +
                      " exchanges and " + std::to_string(m.streamTransfers) +
                      " stream transfers, more than its " + std::to_string(budget.exchanges) +
                      " and " + std::to_string(budget.streamTransfers));
    }
    if (elapsed > budget.bound() || elapsed > m.waits) {
        findings_.add(std::string(what) + " took " + ms(elapsed) + ": its transfers allow " +
                      ms(m.waits) + ", its budget " + ms(budget.bound()));
    }
    checkTimeouts(first, what);
}

void TickWatch::checkTimeouts(std::size_t first, const std::string& during) {
    const auto& calls = sim::SimBus::instance().calls();
    int command = -1; // of the last configuration request
    for (std::size_t i = first; i < calls.size(); ++i) {
        const sim::CallRecord& c = calls[i];
        if (c.call != sim::Call::BulkTransfer && c.call != sim::Call::InterruptTransfer) {
            continue;
        }
        if (c.endpoint == kCfgOut) {
            command = c.data.empty() ? -1 : c.data[0];
        }
        const bool reset = command == tarn::commandByte(tarn::Command::FACTORY_RESET);
        const unsigned allowed =
            c.endpoint == kCfgOut || c.endpoint == kCfgIn
                ? (reset ? TarnInterface::kFactoryResetTimeout : TarnInterface::kCfgTimeout)
                : TarnUsb::kStreamTimeout;
        if (c.timeout == 0 || c.timeout > allowed) {
            findings_.add(during + ": a transfer on endpoint " + std::to_string(c.endpoint) +
                          " waits " + std::to_string(c.timeout) + " ms, allowed " +
                          std::to_string(allowed));
        }
    }
}

} // namespace monkey
