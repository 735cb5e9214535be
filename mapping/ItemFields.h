#pragma once

#include "IPSettings.h"
#include "Packets.h"
#include "SwitchBoardSettings.h"
#include "TarnConfig.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where the unit's multi-part items travel: each part's place in the unit's record, its field
// in the configuration model and its name. Every reader, writer and merge walks these tables,
// so a part is never missed in one of them.
namespace Corvane::mapping {

// The unit's button record byte by byte, in its order. The model's two valet buttons have no
// byte: the unit has no place for them.
struct ButtonField {
    std::optional<std::uint8_t> SwitchBoardSettings::*setting;
    std::uint8_t tarn::CanMsgConfig::*byte;
    std::string_view name; // the function, as the switch-board dialog offers it
};
inline constexpr std::array<ButtonField, 8> kButtonFields{{
    {&SwitchBoardSettings::modeSelect, &tarn::CanMsgConfig::mode_select, "Mode Select"},
    {&SwitchBoardSettings::startup, &tarn::CanMsgConfig::startup, "Startup"},
    {&SwitchBoardSettings::shutdown, &tarn::CanMsgConfig::shutdown, "Shutdown"},
    {&SwitchBoardSettings::autoBtn, &tarn::CanMsgConfig::mode_auto, "Mode Auto"},
    {&SwitchBoardSettings::manual, &tarn::CanMsgConfig::mode_manual, "Mode Manual"},
    {&SwitchBoardSettings::valet, &tarn::CanMsgConfig::mode_valet, "Mode Valet"},
    {&SwitchBoardSettings::inverterMaster, &tarn::CanMsgConfig::inverter_master, "Inverter Master"},
    {&SwitchBoardSettings::inverterSlave, &tarn::CanMsgConfig::inverter_slave, "Inverter Slave"},
}};

// The six addresses of the network settings, in the order the device interface passes them.
struct AddressField {
    std::optional<Ipv4Address> IPSettings::*setting;
    std::string_view name;
};
inline constexpr std::array<AddressField, 6> kAddressFields{{
    {&IPSettings::address, "IP address"},
    {&IPSettings::subnet, "subnet mask"},
    {&IPSettings::gateway, "gateway"},
    {&IPSettings::dns1, "primary DNS"},
    {&IPSettings::dns2, "alternate DNS"},
    {&IPSettings::lcmAddress, "LCM address"},
}};

// The four scripts in the unit's order (script types 1 to 4) and their items in the model.
struct ScriptField {
    std::string_view name;
    bool (TarnConfig::*present)() const;
    const std::string& (TarnConfig::*stored)() const;
    void (TarnConfig::*store)(std::string);
};
inline constexpr std::array<ScriptField, 4> kScriptFields{{
    {"startup", &TarnConfig::startupScriptHasValue, &TarnConfig::getStartupScript,
     &TarnConfig::setStartupScript},
    {"shutdown", &TarnConfig::shutdownScriptHasValue, &TarnConfig::getShutdownScript,
     &TarnConfig::setShutdownScript},
    {"valet startup", &TarnConfig::valetStartupScriptHasValue, &TarnConfig::getValetStartupScript,
     &TarnConfig::setValetStartupScript},
    {"valet shutdown", &TarnConfig::valetShutdownScriptHasValue,
     &TarnConfig::getValetShutdownScript, &TarnConfig::setValetShutdownScript},
}};

} // namespace Corvane::mapping
