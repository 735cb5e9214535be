#include "SimPowerModel.h"

#include "SimWire.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace sim {

namespace {

// A value clamped into an integer type's range before the conversion, so that no reading can
// overflow the cast whatever load a test sets.
template <typename T>
T clampTo(double value) {
    const double lo = static_cast<double>(std::numeric_limits<T>::min());
    const double hi = static_cast<double>(std::numeric_limits<T>::max());
    if (std::isnan(value)) {
        return T{0};
    }
    return static_cast<T>(std::lround(std::clamp(value, lo, hi)));
}

double wave(double t, double periodS, double phase) {
    return std::sin(2.0 * std::numbers::pi * t / periodS + phase);
}

} // namespace

SimPowerModel::SimPowerModel(double noise, uint32_t seed)
    : noise_(std::isfinite(noise) ? std::clamp(noise, 0.0, 1.0) : 0.0)
    , rng_(seed == 0 ? 0x9E3779B9u : seed) {}

double SimPowerModel::seconds() const {
    return std::chrono::duration<double>(now_).count();
}

double SimPowerModel::carried(const Channel& c) const {
    const bool closed = c.on && !c.tripped && c.fault == ChannelFault::None;
    return closed ? c.load : 0.0;
}

double SimPowerModel::totalCarried() const {
    double total = 0.0;
    for (const auto& c : channels_) {
        total += carried(c);
    }
    return total;
}

void SimPowerModel::advanceTo(Duration now,
                              std::span<const SimChannelConfig, kRelayChannels> fuses) {
    if (now <= now_) {
        return;
    }
    const double dt = std::chrono::duration<double>(now - now_).count();
    now_ = now;
    for (std::size_t ch = 0; ch < kRelayChannels; ++ch) {
        Channel& c = channels_[ch];
        const SimChannelConfig& fuse = fuses[ch];
        if (!fuse.protect()) {
            c.i2t = 0.0;
            continue;
        }
        const double rating = std::max(0.0, fuse.ratingAmps());
        const double limit = std::max(0.0, fuse.limitA2s());
        const double amps = carried(c);
        const double rate = amps * amps - rating * rating;
        if (rate > 0.0) {
            const double untilTrip = std::max(0.0, (limit - c.i2t) / rate);
            if (dt > untilTrip) {
                // The relay opened part-way through the step; the rest of it is spent cooling.
                c.tripped = true;
                c.i2t = std::max(0.0, std::max(c.i2t, limit) - rating * rating * (dt - untilTrip));
                continue;
            }
        }
        c.i2t = std::max(0.0, c.i2t + rate * dt);
    }
}

void SimPowerModel::request(uint8_t channel, uint8_t action) {
    if (action > 2) {
        return;
    }
    if (channel == kInverter) {
        inverterOn_ = action == 2 ? !inverterOn_ : action == 1;
        return;
    }
    if (channel >= kRelayChannels) {
        return;
    }
    Channel& c = channels_[channel];
    const bool closed = c.on && !c.tripped;
    const bool want = action == 2 ? !closed : action == 1;
    if (want) {
        c.tripped = false;
    }
    c.on = want;
}

void SimPowerModel::allOff() {
    for (auto& c : channels_) {
        c.on = false;
        c.tripped = false;
    }
    inverterOn_ = false;
}

void SimPowerModel::setLoad(std::size_t channel, double amps) {
    channels_.at(channel).load = (std::isnan(amps) || amps < 0.0) ? 0.0 : amps;
}

void SimPowerModel::setFault(std::size_t channel, ChannelFault fault) {
    channels_.at(channel).fault = fault;
}

bool SimPowerModel::relayClosed(std::size_t channel) const {
    if (channel == kInverter) {
        return inverterOn_;
    }
    const Channel& c = channels_.at(channel);
    return c.on && !c.tripped && c.fault == ChannelFault::None;
}

RelayState SimPowerModel::state(std::size_t channel) const {
    const Channel& c = channels_.at(channel);
    switch (c.fault) {
    case ChannelFault::BadRelay:
        return RelayState::BadRelay;
    case ChannelFault::BadFuse:
        return RelayState::BadFuse;
    case ChannelFault::None:
        break;
    }
    if (c.tripped) {
        return RelayState::OverCurrent;
    }
    if (!c.on) {
        return RelayState::Off;
    }
    return c.load < kNoLoadAmps ? RelayState::NoLoad : RelayState::On;
}

double SimPowerModel::draw() {
    // xorshift32: cheap, and the same sequence for the same seed on every platform.
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return 2.0 * (static_cast<double>(rng_) / 4294967295.0) - 1.0;
}

double SimPowerModel::noiseFactor() {
    return 1.0 + noise_ * draw();
}

double SimPowerModel::batteryVolts() const {
    // A charging system that wanders slowly and sags under load, kept to a healthy 12 V range.
    const double t = seconds();
    const double volts =
        13.8 + 0.25 * wave(t, 97.0, 0.0) + 0.05 * wave(t, 13.0, 1.0) - 0.004 * totalCarried();
    return std::clamp(volts, 12.6, 14.4);
}

void SimPowerModel::writePower(std::span<uint8_t, 40> block) {
    std::fill(block.begin(), block.end(), uint8_t{0});
    const double battery = batteryVolts();
    wire::put16(block, 4, clampTo<uint16_t>(battery * 1000.0));
    for (std::size_t i = 0; i < ignition_.size(); ++i) {
        const double volts = ignition_[i] ? battery - 0.15 - 0.02 * static_cast<double>(i) : 0.0;
        wire::put16(block, 6 + 2 * i, clampTo<uint16_t>(volts * 1000.0));
    }
    int32_t total = 0;
    for (std::size_t ch = 0; ch < kRelayChannels; ++ch) {
        const double amps = carried(channels_[ch]);
        const int16_t ma = amps > 0.0 ? clampTo<int16_t>(amps * 1000.0 * noiseFactor()) : 0;
        wire::put16(block, 16 + 2 * ch, static_cast<uint16_t>(ma));
        total += ma;
    }
    wire::put32(block, 12, static_cast<uint32_t>(total));
}

void SimPowerModel::writeStatus(std::span<uint8_t, 17> block, uint8_t mode,
                                bool bluetoothEnabled) const {
    std::fill(block.begin(), block.end(), uint8_t{0});
    block[0] = mode;
    for (std::size_t ch = 0; ch < kRelayChannels; ++ch) {
        block[2 + ch] = static_cast<uint8_t>(static_cast<uint8_t>(state(ch)) << 4);
    }
    block[14] = static_cast<uint8_t>((inverterOn_ ? 0x02 : 0) | (inverterOverload_ ? 0x04 : 0) |
                                     (inverterOverTemp_ ? 0x08 : 0));
    const bool live = btPresent_ && bluetoothEnabled;
    block[15] =
        static_cast<uint8_t>((btPresent_ ? 0x01 : 0) | (live && btConnected_ ? 0x02 : 0) |
                             (bluetoothEnabled ? 0x04 : 0) | (live && btSearching_ ? 0x08 : 0));
}

void SimPowerModel::writeTemperature(std::span<uint8_t, 14> block) {
    const double t = seconds();
    const double heat = 0.08 * totalCarried();
    for (std::size_t i = 0; i < 3; ++i) {
        const double phase = static_cast<double>(i);
        const double jitter = noise_ > 0.0 ? 0.05 * draw() : 0.0;
        const double celsius = 38.0 + 1.5 * phase + heat + 0.6 * wave(t, 120.0, phase) + jitter;
        wire::put16(block, 2 * i, clampTo<uint16_t>((celsius + 67.84) * 65535.0 / 480.0));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const double phase = static_cast<double>(i);
        const double celsius = 22.0 + 0.5 * phase + 1.5 * wave(t, 300.0, phase);
        wire::put16(block, 6 + 2 * i, static_cast<uint16_t>(clampTo<int16_t>(celsius * 4.0)));
    }
}

} // namespace sim
