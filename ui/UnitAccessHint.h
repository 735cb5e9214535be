#pragma once

#include <QString>

#include <chrono>
#include <optional>

class QLabel;

namespace Corvane {

// Tells the operator, once, why a unit that is plugged in stays "Disconnected": it is on the
// bus but the console cannot open it (on Linux most often a missing udev rule). The connection
// label keeps its text; the reason goes into its tool tip and one line on standard error, and
// the tool tip goes once the unit opens.
class UnitAccessHint {
public:
    static const QString& text();

    // After each attempt to open the unit. Looking at the bus costs a device listing, so it is
    // done at most once a second while no unit opens.
    void update(QLabel& label, bool opened);
    bool shown() const { return shown_; }

private:
    bool unitListed();

    bool shown_ = false;
    bool told_ = false; // the line on standard error, once per run of failed opens
    std::optional<std::chrono::steady_clock::time_point> lastLook_;
};

} // namespace Corvane
