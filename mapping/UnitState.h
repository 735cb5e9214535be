#pragma once

#include "ItemFields.h"
#include "Packets.h"
#include "TarnInterface.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::mapping {

inline constexpr std::size_t kChannels = tarn::TarnInterface::kRelayChannels; // 12
inline constexpr std::size_t kScripts = kScriptFields.size();

// One channel's fuse as the wire carries it (see WireValue.h for the steps).
struct ChannelFuse {
    std::int32_t current = 0; // mA
    std::int32_t i2t = 0;     // steps of tarn::kI2tStep
    bool protect = false;
};

struct NetworkSettings {
    // in the order of kAddressFields, each with its first octet in the low byte
    std::array<std::uint32_t, kAddressFields.size()> addresses{};
    std::uint16_t lcmPort = 0;
    bool dhcp = false;
};

// The parts of a unit's configuration that are read and written by one device call each (a
// fuse: rating, I²t and protect together). Scripts and channels carry an index.
struct Section {
    enum Kind : std::uint8_t {
        Mode,
        Id,
        Pin,
        Bluetooth,
        Network,
        Buttons,
        Script,
        Name,
        Fuse,
        Groups
    };
    Kind kind = Mode;
    std::uint8_t index =
        0; // script 0-3 (startup, shutdown, valet startup, valet shutdown), channel 0-11

    friend bool operator==(const Section&, const Section&) = default;
};

// Every section, in the order a configuration is read and sent: the unit-wide settings, the
// scripts, each channel's name and fuse, and the channel groups last.
std::vector<Section> allSections();
// "network settings", "startup script", "channel 3 fuse settings" ...
std::string sectionName(Section section);

// A unit's configuration in the unit's own terms (texts are unit bytes). An empty field was
// not read, or is not to be sent.
struct UnitState {
    std::optional<std::uint8_t> mode;
    std::optional<std::uint8_t> id;
    std::optional<std::uint32_t> pin; // PinCode.h
    std::optional<bool> bluetooth;
    std::optional<NetworkSettings> network;
    std::optional<tarn::CanMsgConfig> buttons;
    std::array<std::optional<std::string>, kScripts> scripts;
    std::array<std::optional<std::string>, kChannels> names;
    std::array<std::optional<ChannelFuse>, kChannels> fuses;
    std::optional<std::uint16_t> groups; // bit N-1: channel N

    bool has(Section section) const;
};

// Reads one section into `state`; on failure its field is emptied and false returned.
bool readSection(tarn::TarnInterface& dev, Section section, UnitState& state);
// Sends one section, which `state` must hold; true when the unit acknowledged it.
bool writeSection(tarn::TarnInterface& dev, Section section, const UnitState& state);

// Reads the sections in order and returns those that could not be read. Once the unit is
// gone the rest are not tried (they are all returned).
std::vector<Section> readSections(tarn::TarnInterface& dev, const std::vector<Section>& sections,
                                  UnitState& state);

} // namespace Corvane::mapping
