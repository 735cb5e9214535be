#pragma once

#include <cstdint>
#include <optional>

namespace Corvane {

// CAN switch-board button assignments, as the unit's button numbers.
struct SwitchBoardSettings {
    std::optional<std::uint8_t> modeSelect;
    std::optional<std::uint8_t> startup;
    std::optional<std::uint8_t> shutdown;
    // The two valet buttons have no place in the unit's record; only files carry them.
    std::optional<std::uint8_t> valetStartup;
    std::optional<std::uint8_t> valetShutdown;
    std::optional<std::uint8_t> autoBtn;
    std::optional<std::uint8_t> manual;
    std::optional<std::uint8_t> valet;
    std::optional<std::uint8_t> inverterMaster;
    std::optional<std::uint8_t> inverterSlave;

    friend bool operator==(const SwitchBoardSettings&, const SwitchBoardSettings&) = default;
};

} // namespace Corvane
