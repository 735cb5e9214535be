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

SimClock::Duration millis(unsigned ms) {
    return std::chrono::milliseconds(ms);
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
