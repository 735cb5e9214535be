#pragma once

// Telemetry as the console uses it: the unit's raw blocks converted to engineering units.

#include "Packets.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace tarn {

struct PowerF32 {
    float battery = 0;               // V
    std::array<float, 3> ignition{}; // V, inputs 1-3
    float aux1 = 0;                  // raw / 1000, not shown
    float aux2 = 0;                  // raw / 1000, not shown
    float total_current = 0;         // A, signed
    std::array<float, 12> current{}; // A, signed, relay channels 0-11
};
static_assert(sizeof(PowerF32) == 19 * sizeof(float));

struct ChannelFeedback {
    bool bit0 = false;
    bool bit1 = false;
    bool bit2 = false;
    bool bit3 = false;
    uint8_t relay_state = 0; // RelayState code, 0-15
};

struct InverterFeedback {
    bool bit0 = false;
    bool on = false;
    bool over_load = false;
    bool over_temp = false;
};

struct StatusF32 {
    struct BluetoothFeedback {
        bool present = false;
        bool connected = false;
        bool enabled = false;
        bool searching = false;
    };

    uint8_t mode = 0;
    uint8_t aux_state = 0;
    std::array<ChannelFeedback, 12> channel{};
    InverterFeedback inverter{};
    BluetoothFeedback bluetooth{};
    uint8_t aux_bits : 2 = 0;
};

struct TempF32 {
    std::array<float, 3> internal{}; // °C, sensors 1-3
    std::array<float, 4> external{}; // °C, sensors 1-4
};
static_assert(sizeof(TempF32) == 7 * sizeof(float));

// The caller's view of the last reads: each pointer is set once a read has converted that
// block, and then points at the process-wide block (which later reads keep up to date).
struct DataStreamFeedback {
    const PowerF32* power = nullptr;
    const StatusF32* status = nullptr;
    const TempF32* temp = nullptr;

    constexpr bool empty() const {
        return power == nullptr && status == nullptr && temp == nullptr;
    }
    // Takes the blocks `packet` carries over these and keeps the others, so that this holds the
    // last block of each kind seen. True when the packet carried any.
    constexpr bool takeFrom(const DataStreamFeedback& packet) {
        power = packet.power != nullptr ? packet.power : power;
        status = packet.status != nullptr ? packet.status : status;
        temp = packet.temp != nullptr ? packet.temp : temp;
        return !packet.empty();
    }
};

// The words the console shows for the inverter and for Bluetooth, the first condition that
// holds deciding.
constexpr std::string_view inverterStateText(const InverterFeedback& inverter) {
    return inverter.over_load   ? "OVER LOAD"
           : inverter.over_temp ? "OVER TEMP"
           : inverter.on        ? "ON"
                                : "OFF";
}

// The state of relay output `output` (0-11) or, for 12, the inverter's.
constexpr std::string_view outputStateText(const StatusF32& status, uint32_t output) {
    return output < status.channel.size() ? relayStateText(status.channel[output].relay_state)
                                          : inverterStateText(status.inverter);
}

constexpr std::string_view bluetoothStateText(const StatusF32::BluetoothFeedback& bluetooth) {
    return bluetooth.searching    ? "Searching..."
           : !bluetooth.present   ? "Removed"
           : !bluetooth.enabled   ? "Disabled"
           : !bluetooth.connected ? "Disconnected"
                                  : "Connected";
}

} // namespace tarn
