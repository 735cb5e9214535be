#pragma once

// The random operator's repertoire: one table of what it does, each with how often.

#include <span>
#include <string>

namespace monkey {

struct Session;

// Does one thing and says what, for the log; an empty answer means there was nothing to do it
// on, and another is drawn.
using Action = std::string (*)(Session&);

struct ActionKind {
    const char* name;
    int weight;
    Action run;
};

std::span<const ActionKind> actionTable();

// What the operator does to the window (WindowActions.cpp).
std::string tick(Session& s);
std::string clickButton(Session& s);
std::string clickCheckBox(Session& s);
std::string renameChannel(Session& s);
std::string editLine(Session& s);
std::string pickFromList(Session& s);
std::string editScript(Session& s);
std::string switchTab(Session& s);
std::string useMenu(Session& s);
std::string useSwitchBoard(Session& s);
std::string pressKey(Session& s);
std::string clickAnywhere(Session& s);
std::string scrollWheel(Session& s);

// What happens to the unit and its cable (UnitActions.cpp).
std::string unplug(Session& s);
std::string replug(Session& s);
std::string restart(Session& s);
std::string spoilTransfer(Session& s);
std::string spoilReplies(Session& s);
std::string vanishMidway(Session& s);
std::string refuseOpen(Session& s);
std::string passTime(Session& s);
std::string changeVehicle(Session& s);

} // namespace monkey
