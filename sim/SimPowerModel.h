#pragma once

#include "SimClock.h"
#include "SimUnitSettings.h"

#include <array>
#include <cstdint>
#include <span>

namespace sim {

// Relay state codes as the Status block carries them (bits 4-7 of a channel byte).
enum class RelayState : uint8_t {
    Off = 0,
    On = 1,
    NoLoad = 2,
    BadRelay = 3,
    BadFuse = 4,
    OverCurrent = 5,
};

// A hardware fault injected on one relay channel. While set it decides what the channel
// reports and the channel carries no current; relay requests are still remembered.
enum class ChannelFault : uint8_t { None, BadRelay, BadFuse };

// The electrical side of the unit: twelve loads behind relays and electronic fuses, the
// inverter output, ignition inputs, battery and temperatures.
//
// Loads stay constant between calls, so the fuses are integrated exactly piecewise: advancing
// in one long step or in many short ones gives the same accumulator and the same trip instant.
// A fuse integrates (I² - rating²)·dt of the load it carries (never below zero, so a channel
// running under its rating cools down); once the sum passes the channel's I²t limit the relay
// opens at that instant and the channel reports OVER CURRENT until the next on request. With
// protection off the channel never trips and keeps no accumulated I²t. Reported currents carry
// measurement noise from a seeded generator; the fuses see the noiseless load.
class SimPowerModel {
public:
    using Duration = SimClock::Duration;
    static constexpr std::size_t kInverter = kRelayChannels; // channel 12 of relay requests
    // A closed relay carrying less than this reports NO LOAD.
    static constexpr double kNoLoadAmps = 0.05;

    // `noise`: relative amplitude of the reported current's noise (0.01 is ±1 %); 0 reports
    // loads exactly. `seed` fixes the noise sequence.
    SimPowerModel(double noise, uint32_t seed);

    // Brings the model to `now` under the given fuse settings. Earlier times are ignored.
    void advanceTo(Duration now, std::span<const SimChannelConfig, kRelayChannels> fuses);
    Duration now() const { return now_; }

    // Relay request: channel 0-11 or 12 (inverter); action 0 off, 1 on, 2 toggle. Anything
    // else is ignored. A toggle of a tripped channel closes it again, as an on request does.
    void request(uint8_t channel, uint8_t action);
    // Opens every relay and clears every trip (the unit's state at power-up).
    void allOff();

    // Load in amperes; negative or not-a-number loads count as none.
    void setLoad(std::size_t channel, double amps);
    double load(std::size_t channel) const { return channels_.at(channel).load; }
    void setFault(std::size_t channel, ChannelFault fault);

    bool relayClosed(std::size_t channel) const; // 0-11, or 12 for the inverter
    RelayState state(std::size_t channel) const;
    double i2t(std::size_t channel) const { return channels_.at(channel).i2t; }

    void setInverterOverload(bool on) { inverterOverload_ = on; }
    void setInverterOverTemp(bool on) { inverterOverTemp_ = on; }
    // Connected and searching are only reported while the module is present and enabled.
    void setBluetoothPresent(bool on) { btPresent_ = on; }
    void setBluetoothConnected(bool on) { btConnected_ = on; }
    void setBluetoothSearching(bool on) { btSearching_ = on; }
    // Ignition inputs 0-2; input 0 is on after construction, the others off.
    void setIgnition(std::size_t input, bool on) { ignition_.at(input) = on; }

    // The telemetry blocks at the model's present time, laid out as on the wire.
    void writePower(std::span<uint8_t, 40> block);
    void writeStatus(std::span<uint8_t, 17> block, uint8_t mode, bool bluetoothEnabled) const;
    void writeTemperature(std::span<uint8_t, 14> block);

private:
    struct Channel {
        double load = 0.0;
        bool on = false;      // the last request
        bool tripped = false; // opened by its fuse
        ChannelFault fault = ChannelFault::None;
        double i2t = 0.0; // A²s accumulated above the rating
    };

    double carried(const Channel& c) const;
    double draw(); // -1..1
    double noiseFactor();
    double totalCarried() const;
    double batteryVolts() const;
    double seconds() const;

    std::array<Channel, kRelayChannels> channels_{};
    bool inverterOn_ = false;
    bool inverterOverload_ = false;
    bool inverterOverTemp_ = false;
    bool btPresent_ = true;
    bool btConnected_ = false;
    bool btSearching_ = false;
    std::array<bool, 3> ignition_{true, false, false};
    double noise_;
    uint32_t rng_;
    Duration now_{0};
};

} // namespace sim
