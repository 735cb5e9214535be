#include "Actions.h"

#include <array>

namespace monkey {
namespace {

// Mostly ticks between the operator's doings, as the timer would fit them in; the cable and
// the vehicle change far less often than the operator clicks.
constexpr std::array<ActionKind, 22> kActions{{
    {"tick", 24, tick},
    {"click a button", 10, clickButton},
    {"click a check box", 8, clickCheckBox},
    {"rename a channel", 3, renameChannel},
    {"type into a box", 8, editLine},
    {"pick from a list", 8, pickFromList},
    {"edit a script", 4, editScript},
    {"switch script tab", 2, switchTab},
    {"use the menu", 5, useMenu},
    {"use the switch board", 3, useSwitchBoard},
    {"press a key", 4, pressKey},
    {"click anywhere", 4, clickAnywhere},
    {"turn the wheel", 2, scrollWheel},
    {"unplug", 2, unplug},
    {"replug", 10, replug},
    {"restart the unit", 1, restart},
    {"spoil a transfer", 4, spoilTransfer},
    {"spoil replies", 2, spoilReplies},
    {"unplug mid-exchange", 1, vanishMidway},
    {"refuse to open", 1, refuseOpen},
    {"time passes", 3, passTime},
    {"the vehicle changes", 3, changeVehicle},
}};

} // namespace

std::span<const ActionKind> actionTable() {
    return kActions;
}

} // namespace monkey
