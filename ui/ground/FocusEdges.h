#pragma once

#include <Qt>

namespace Corvane {

// Turns Qt's focus events into the operator's sense of entering and leaving a control. Opening
// a control's own drop-down list, or another window taking the activation, moves Qt's focus
// away for a while without the operator having left the control; neither counts, and the
// matching return does not count as entering again.
class FocusEdges {
public:
    // Whether this focus-in is an entry.
    bool in(Qt::FocusReason reason);
    // Whether this focus-out is a leaving.
    bool out(Qt::FocusReason reason);
    bool inside() const { return inside_; }

private:
    bool inside_ = false;
};

} // namespace Corvane
