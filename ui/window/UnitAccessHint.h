#pragma once

#include "TarnInterface.h"

#include <QString>

class QLabel;

namespace Corvane {

// Tells the operator why a unit that is plugged in stays "Disconnected": this user may not
// open it (on Linux most often a missing udev rule), another program holds it, or it does not
// answer. The connection label keeps its text; the reason goes into its tool tip and, once per
// run of failed opens, one line on standard error. The tool tip goes once the unit opens or
// is no longer there.
class UnitAccessHint {
public:
    using OpenFailure = tarn::TarnInterface::OpenFailure;

    // The reason as told, or an empty text when there is nothing to explain (the unit opened,
    // or none is there).
    static QString text(OpenFailure failure, int linkError = 0);

    // After each attempt to open the unit.
    void update(QLabel& label, bool opened, OpenFailure failure, int linkError = 0);
    bool shown() const { return shown_; }

private:
    bool shown_ = false;
    bool told_ = false; // the line on standard error, once per run of failed opens
    OpenFailure shownFailure_ = OpenFailure::None;
    int shownError_ = 0;
};

} // namespace Corvane
