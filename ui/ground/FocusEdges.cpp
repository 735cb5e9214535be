#include "FocusEdges.h"

namespace Corvane {

bool FocusEdges::in(Qt::FocusReason reason) {
    if (inside_ || reason == Qt::PopupFocusReason) {
        return false;
    }
    inside_ = true;
    return true;
}

bool FocusEdges::out(Qt::FocusReason reason) {
    if (!inside_ || reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) {
        return false;
    }
    inside_ = false;
    return true;
}

} // namespace Corvane
