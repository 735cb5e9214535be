#pragma once

// What the random operator's actions share: the window and the unit it drives, the dice, the
// folder its file dialogs are kept to, and the faults found so far.

#include "Dice.h"

#include <QString>

#include <string>
#include <vector>

namespace Corvane {
class FormMain;
}
namespace sim {
class SimManualClock;
class SimUnit;
} // namespace sim

namespace monkey {

class TickWatch;

// Faults the operator has run into: each is a real failure of the console.
class Findings {
public:
    void add(std::string what) { found_.push_back(std::move(what)); }
    bool any() const { return !found_.empty(); }
    const std::vector<std::string>& all() const { return found_; }

private:
    std::vector<std::string> found_;
};

struct Session {
    Corvane::FormMain& window;
    sim::SimUnit& unit;
    sim::SimManualClock& clock;
    Dice& dice;
    TickWatch& ticks;
    Findings& findings;
    QString folder;           // the only folder the file dialogs may show
    bool refusesOpen = false; // the unit cannot be opened until it is plugged in again
    bool trace = false;       // every action and dialog step is printed
};

} // namespace monkey
