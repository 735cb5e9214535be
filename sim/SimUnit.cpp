#include "SimUnit.h"

#include "SimPacketSource.h"
#include "SimWire.h"

#include <algorithm>

namespace sim {

namespace {

constexpr uint8_t kConfigOut = 0x01;
constexpr uint8_t kConfigIn = 0x81;
constexpr uint8_t kStreamOut = 0x02;
constexpr uint8_t kStreamIn = 0x82;
constexpr std::size_t kChunk = 60;

SimClock::Duration millis(unsigned ms) {
    return std::chrono::milliseconds(ms);
}

bool validScript(uint8_t type) {
    return type >= 1 && type <= kScripts;
}

} // namespace

SimUnit::SimUnit(SimBus& bus, SimClock& clock, SimUnitOptions options)
    : clock_(clock)
    , device_(bus.attach(kVendorId, kProductId, options.bus, options.port))
    , identity_(options.identity)
    , power_(options.noise, options.seed)
    , scriptDuration_(options.scriptDuration)
    , period_(std::chrono::milliseconds(20)) {
    setTelemetryRate(options.telemetryRate);
    power_.advanceTo(clock_.now(), settings_.channels);
    device_->setHandler(kConfigOut, [this](const Transfer& t) { return configOut(t); });
    device_->setHandler(kConfigIn, [this](const Transfer& t) { return configIn(t); });
    device_->setHandler(kStreamOut, [this](const Transfer& t) { return streamOut(t); });
    device_->setHandler(kStreamIn, [this](const Transfer& t) { return streamIn(t); });
    device_->setReplugHook([this] { onReplug(); });
}

SimUnit::~SimUnit() {
    // The device object may outlive the unit (the bus or a test still holds it): leave it with
    // handlers that no longer reach this object, as a unit that has gone away.
    const auto gone = [](const Transfer&) { return Outcome{LIBUSB_ERROR_NO_DEVICE, 0}; };
    for (const uint8_t ep : {kConfigOut, kConfigIn, kStreamOut, kStreamIn}) {
        device_->setHandler(ep, gone);
    }
    device_->setReplugHook([] {});
    if (device_->attached()) {
        device_->unplug();
    }
}

void SimUnit::unplug() {
    device_->unplug();
    resetLink();
}

void SimUnit::replug() {
    device_->replug();
}

void SimUnit::onReplug() {
    resetLink();
}

void SimUnit::resetLink() {
    streaming_ = false;
    replyPending_ = false;
    for (auto& s : staging_) {
        s.clear();
    }
}

void SimUnit::sync() {
    const auto now = clock_.now();
    power_.advanceTo(now, settings_.channels);
    if (running_ != 0 && now >= runningUntil_) {
        running_ = 0;
    }
}

void SimUnit::setLoad(std::size_t channel, double amps) {
    sync();
    power_.setLoad(channel, amps);
}

void SimUnit::setFault(std::size_t channel, ChannelFault fault) {
    sync();
    power_.setFault(channel, fault);
}

void SimUnit::setInverterOverload(bool on) {
    power_.setInverterOverload(on);
}
void SimUnit::setInverterOverTemp(bool on) {
    power_.setInverterOverTemp(on);
}
void SimUnit::setBluetoothPresent(bool on) {
    power_.setBluetoothPresent(on);
}
void SimUnit::setBluetoothConnected(bool on) {
    power_.setBluetoothConnected(on);
}
void SimUnit::setBluetoothSearching(bool on) {
    power_.setBluetoothSearching(on);
}
void SimUnit::setIgnition(std::size_t input, bool on) {
    power_.setIgnition(input, on);
}

void SimUnit::failNextReplies(ReplyFault fault, unsigned count) {
    fault_ = fault;
    faultCount_ = count;
}

void SimUnit::setTelemetryRate(unsigned packetsPerSecond) {
    const unsigned rate = std::clamp(packetsPerSecond, 1u, 100000u);
    period_ = std::chrono::nanoseconds(std::chrono::seconds(1)) / rate;
}

SimUnitSettings& SimUnit::settings() {
    sync();
    return settings_;
}

bool SimUnit::relayClosed(std::size_t channel) {
    sync();
    return power_.relayClosed(channel);
}

RelayState SimUnit::state(std::size_t channel) {
    sync();
    return power_.state(channel);
}

double SimUnit::i2t(std::size_t channel) {
    sync();
    return power_.i2t(channel);
}

uint8_t SimUnit::runningScript() {
    sync();
    return running_;
}

Outcome SimUnit::waitOut(unsigned timeoutMs) {
    if (timeoutMs > 0) {
        clock_.waitUntil(clock_.now() + millis(timeoutMs));
    }
    sync();
    return Outcome{LIBUSB_ERROR_TIMEOUT, 0};
}

// --- configuration pipe ---

Outcome SimUnit::configOut(const Transfer& t) {
    sync();
    handleRequest(t.buffer);
    if (unplugAfter_ > 0 && --unplugAfter_ == 0) {
        unplug();
    }
    return Outcome{LIBUSB_SUCCESS, static_cast<int>(t.buffer.size())};
}

Outcome SimUnit::configIn(const Transfer& t) {
    sync();
    if (!replyPending_) {
        return waitOut(t.timeout);
    }
    std::size_t length = replyLength_;
    if (faultCount_ > 0) {
        --faultCount_;
        switch (fault_) {
        case ReplyFault::Timeout:
            replyPending_ = false;
            return waitOut(t.timeout);
        case ReplyFault::Short:
            length = replyMinimum_ > 0 ? replyMinimum_ - 1 : 0;
            break;
        case ReplyFault::WrongId:
            reply_[0] = static_cast<uint8_t>(reply_[0] ^ 0x80);
            break;
        }
    }
    replyPending_ = false;
    if (length > t.buffer.size()) {
        return Outcome{LIBUSB_ERROR_OVERFLOW, 0};
    }
    std::copy_n(reply_.begin(), length, t.buffer.begin());
    return Outcome{LIBUSB_SUCCESS, static_cast<int>(length)};
}

void SimUnit::prepare(std::span<const uint8_t> reply, std::size_t minLength) {
    std::copy(reply.begin(), reply.end(), reply_.begin());
    replyLength_ = reply.size();
    replyMinimum_ = minLength;
    replyPending_ = true;
}

void SimUnit::handleRequest(std::span<const uint8_t> req) {
    // Whatever was not read is lost: the pipe carries one request and its reply at a time.
    replyPending_ = false;
    if (req.empty()) {
        return;
    }
    const uint8_t cmd = req[0];
    const auto has = [&](std::size_t n) { return req.size() >= n; };
    std::array<uint8_t, 64> r{};
    r[0] = cmd;
    const auto reply = [&](std::size_t n) { prepare(std::span(r).first(n), n); };
    auto& s = settings_;

    switch (cmd) {
    case 0x00: // version
        r[1] = identity_.hwRev;
        wire::put16(r, 2, identity_.extra);
        wire::put16(r, 4, identity_.major);
        wire::put16(r, 6, identity_.minor);
        wire::put16(r, 8, identity_.build);
        wire::put32(r, 16, identity_.serial);
        reply(20);
        return;
    case 0x08: // set serial number
        if (!has(8)) {
            return;
        }
        if (serialAccepted_) {
            identity_.serial = wire::get32(req, 4);
        }
        r[1] = serialAccepted_ ? 1 : 0;
        reply(2);
        return;
    case 0x0F: // factory reset
        s = factoryDefaults();
        for (auto& staged : staging_) {
            staged.clear();
        }
        running_ = 0;
        reply(1);
        return;
    case 0x10: // set channel configuration
        if (!has(12) || req[1] >= kRelayChannels) {
            return;
        }
        s.channels[req[1]] = SimChannelConfig{req[2], static_cast<int32_t>(wire::get32(req, 4)),
                                              static_cast<int32_t>(wire::get32(req, 8))};
        reply(1);
        return;
    case 0x11: // get channel configuration
        if (!has(2) || req[1] >= kRelayChannels) {
            return;
        }
        r[1] = req[1];
        r[2] = s.channels[req[1]].flags;
        wire::put32(r, 4, static_cast<uint32_t>(s.channels[req[1]].currentMa));
        wire::put32(r, 8, static_cast<uint32_t>(s.channels[req[1]].i2tSteps));
        reply(12);
        return;
    case 0x12: { // set channel name
        if (!has(64) || req[1] >= kNamedChannels) {
            return;
        }
        const auto text = req.subspan(2, kMaxNameLength);
        const auto end = std::find(text.begin(), text.end(), uint8_t{0});
        s.names[req[1]].assign(text.begin(), end);
        reply(1);
        return;
    }
    case 0x13: { // get channel name
        if (!has(2) || req[1] >= kNamedChannels) {
            return;
        }
        r[1] = req[1];
        const std::string& name = s.names[req[1]];
        std::copy_n(name.begin(), std::min(name.size(), kMaxNameLength), r.begin() + 2);
        reply(64);
        return;
    }
    case 0x20: // execute script
        if (!has(2) || req[1] > kScripts) {
            return;
        }
        running_ = req[1];
        runningUntil_ = clock_.now() + scriptDuration_;
        sync(); // a script of no duration is over at once
        reply(1);
        return;
    case 0x21: // script status
        r[1] = running_;
        reply(2);
        return;
    case 0x22: // set mode
        if (!has(2)) {
            return;
        }
        s.mode = req[1];
        reply(1);
        return;
    case 0x23: // get mode
        r[1] = s.mode;
        reply(2);
        return;
    case 0x24: // set button configuration
        if (!has(9)) {
            return;
        }
        std::copy_n(req.begin() + 1, s.buttons.size(), s.buttons.begin());
        reply(1);
        return;
    case 0x25: // get button configuration
        std::copy(s.buttons.begin(), s.buttons.end(), r.begin() + 1);
        reply(9);
        return;
    case 0x26: { // write script chunk
        if (!has(4) || !validScript(req[1])) {
            return;
        }
        auto& staged = staging_[req[1] - 1u];
        const std::size_t offset = wire::get16(req, 2);
        const auto data = req.subspan(4, std::min(req.size() - 4, kChunk));
        if (offset == 0) {
            staged.clear(); // a write always starts at the beginning: a new text
        }
        // A gap left by a chunk that never came reads as zero bytes, ending the text there.
        staged.resize(std::max(staged.size(), offset + data.size()), uint8_t{0});
        std::copy(data.begin(), data.end(), staged.begin() + static_cast<std::ptrdiff_t>(offset));
        reply(1);
        return;
    }
    case 0x27: { // read script chunk
        if (!has(4) || !validScript(req[1])) {
            return;
        }
        const std::string& text = s.scripts[req[1] - 1u];
        const std::size_t offset = wire::get16(req, 2);
        const std::size_t total = text.size() + 1; // with its zero byte
        r[1] = req[1];
        wire::put16(r, 2, static_cast<uint16_t>(offset));
        std::size_t n = 0;
        if (offset < total) {
            n = std::min(kChunk, total - offset);
            // r is zeroed, so the terminator is already in place after the text's last byte.
            const std::size_t chars = std::min(n, text.size() - std::min(offset, text.size()));
            std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(offset), chars, r.begin() + 4);
        }
        prepare(std::span(r).first(4 + n), 4);
        return;
    }
    case 0x28: { // commit script
        if (!has(2) || !validScript(req[1])) {
            return;
        }
        auto& staged = staging_[req[1] - 1u];
        // Nothing staged since the last commit: the stored script stays as it is.
        if (!staged.empty()) {
            auto end = std::find(staged.begin(), staged.end(), uint8_t{0});
            if (end - staged.begin() > static_cast<std::ptrdiff_t>(kMaxScriptLength)) {
                end = staged.begin() + static_cast<std::ptrdiff_t>(kMaxScriptLength);
            }
            s.scripts[req[1] - 1u].assign(staged.begin(), end);
            staged.clear();
        }
        reply(1);
        return;
    }
    case 0x29: // set network settings
        if (!has(28)) {
            return;
        }
        s.network = SimNetworkSettings{req[1],
                                       wire::get16(req, 2),
                                       wire::get32(req, 4),
                                       wire::get32(req, 8),
                                       wire::get32(req, 12),
                                       wire::get32(req, 16),
                                       wire::get32(req, 20),
                                       wire::get32(req, 24)};
        reply(1);
        return;
    case 0x30: // get network settings
        r[1] = s.network.dhcp;
        wire::put16(r, 2, s.network.lcmPort);
        wire::put32(r, 4, s.network.ipAddress);
        wire::put32(r, 8, s.network.subnet);
        wire::put32(r, 12, s.network.gateway);
        wire::put32(r, 16, s.network.dns1);
        wire::put32(r, 20, s.network.dns2);
        wire::put32(r, 24, s.network.lcmAddress);
        reply(28);
        return;
    case 0x31: // set channel groups
        if (!has(3)) {
            return;
        }
        s.groups = wire::get16(req, 1);
        reply(1);
        return;
    case 0x32: // get channel groups
        wire::put16(r, 1, s.groups);
        reply(3);
        return;
    case 0x33: // set unit id
        if (!has(2)) {
            return;
        }
        s.id = req[1];
        reply(1);
        return;
    case 0x34: // get unit id
        r[1] = s.id;
        reply(2);
        return;
    case 0x35: // set mode PIN
        if (!has(8)) {
            return;
        }
        s.pin = wire::get32(req, 4);
        reply(1);
        return;
    case 0x36: // get mode PIN
        wire::put32(r, 4, s.pin);
        reply(8);
        return;
    case 0x37: // set Bluetooth use
        if (!has(2)) {
            return;
        }
        s.bluetooth = req[1] != 0;
        reply(1);
        return;
    case 0x38: // get Bluetooth use
        r[1] = s.bluetooth ? 1 : 0;
        reply(2);
        return;
    default: // not a command of this unit: no reply
        return;
    }
}

// --- stream pipe ---

Outcome SimUnit::streamOut(const Transfer& t) {
    sync();
    const std::span<const uint8_t> b = t.buffer;
    if (b.size() >= 2) {
        const uint16_t word = wire::get16(b, 0);
        if (word == 0x8000) {
            if (!streaming_) {
                streaming_ = true;
                nextDue_ = clock_.now();
                powerNext_ = true;
            }
        } else if (word == 0x4000) {
            streaming_ = false;
        } else if (word == 0x0001 && b.size() >= 4) {
            power_.request(b[2], b[3]);
        }
    }
    return Outcome{LIBUSB_SUCCESS, static_cast<int>(b.size())};
}

Outcome SimUnit::streamIn(const Transfer& t) {
    sync();
    if (!streaming_) {
        return waitOut(t.timeout);
    }
    const auto now = clock_.now();
    if (nextDue_ > now) {
        if (t.timeout != 0 && nextDue_ - now > millis(t.timeout)) {
            return waitOut(t.timeout);
        }
        clock_.waitUntil(nextDue_);
        sync();
    }
    const std::size_t length = buildPacket();
    nextDue_ += source_ != nullptr ? source_->nextPacketIn() : period_;
    nextDue_ = std::max(nextDue_, clock_.now());
    if (length > t.buffer.size()) {
        return Outcome{LIBUSB_ERROR_OVERFLOW, 0};
    }
    std::copy_n(packet_.begin(), length, t.buffer.begin());
    return Outcome{LIBUSB_SUCCESS, static_cast<int>(length)};
}

std::size_t SimUnit::buildPacket() {
    const std::span<uint8_t, 64> p(packet_);
    if (source_ != nullptr) {
        return source_->writePacket(p);
    }
    const bool power = powerNext_;
    powerNext_ = !powerNext_;
    if (power) {
        wire::put16(p, 0, 0x0003);
        power_.writePower(p.subspan<2, 40>());
        power_.writeStatus(p.subspan<42, 17>(), settings_.mode, settings_.bluetooth);
        return 59;
    }
    wire::put16(p, 0, 0x0004);
    power_.writeTemperature(p.subspan<2, 14>());
    return 16;
}

} // namespace sim
