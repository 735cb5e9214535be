#pragma once

// What the simulated unit keeps in its non-volatile memory, in the units of the wire: a factory
// reset puts every field back to factoryDefaults(). Values are stored exactly as the host sent
// them (an out-of-table mode or button byte included), so every get returns what its set wrote.

#include <array>
#include <cstdint>
#include <string>

namespace sim {

inline constexpr std::size_t kRelayChannels = 12;
inline constexpr std::size_t kNamedChannels = 13; // the relay channels and the inverter output
inline constexpr std::size_t kScripts = 4;        // ScriptType 1 to 4
inline constexpr std::size_t kMaxNameLength = 61;
inline constexpr std::size_t kMaxScriptLength = 65535; // with its zero byte, 16-bit offsets

// One relay channel's fuse, as carried by chan_config.
struct SimChannelConfig {
    uint8_t flags = 0;     // bit 0: fuse protection on
    int32_t currentMa = 0; // rating, milliamperes
    int32_t i2tSteps = 0;  // limit, in steps of 128/162759375 A²s

    bool protect() const { return (flags & 0x01) != 0; }
    double ratingAmps() const { return currentMa * 0.001; }
    double limitA2s() const { return i2tSteps * (128.0 / 162759375.0); }
};

struct SimNetworkSettings {
    uint8_t dhcp = 0;
    uint16_t lcmPort = 0;
    // Each address holds the octets in network order from its least significant byte up.
    uint32_t ipAddress = 0;
    uint32_t subnet = 0;
    uint32_t gateway = 0;
    uint32_t dns1 = 0;
    uint32_t dns2 = 0;
    uint32_t lcmAddress = 0;
};

struct SimUnitSettings {
    std::array<SimChannelConfig, kRelayChannels> channels{};
    std::array<std::string, kNamedChannels> names{};
    uint8_t mode = 0; // 0 AUTO
    uint8_t id = 0;   // 0 Master
    uint32_t pin = 0xFFFFFFFF;
    bool bluetooth = true;
    SimNetworkSettings network{};
    uint16_t groups = 0;
    std::array<uint8_t, 8> buttons{};
    std::array<std::string, kScripts> scripts{}; // index = ScriptType - 1, without the zero byte
};

// The state a factory reset restores: channels "Channel 1" to "Channel 12" and "Inverter",
// 10 A fuses with protection on and a 100 A²s limit, AUTO, Master, no PIN, Bluetooth on, a
// fixed 192.168.1.10/24 address, no groups, no buttons assigned, empty scripts.
SimUnitSettings factoryDefaults();

// Packs dotted-quad octets the way the wire carries an address (192.168.1.10 is 0x0A01A8C0).
constexpr uint32_t ipv4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return static_cast<uint32_t>(a) | (static_cast<uint32_t>(b) << 8) |
           (static_cast<uint32_t>(c) << 16) | (static_cast<uint32_t>(d) << 24);
}

} // namespace sim
