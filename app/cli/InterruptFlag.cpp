#include "InterruptFlag.h"

namespace Corvane::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void raiseFlag(int) {
    interrupted = 1;
}

} // namespace

InterruptFlag::InterruptFlag() {
    interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = raiseFlag;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &action, &previous_[i]);
    }
}

InterruptFlag::~InterruptFlag() {
    for (int i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &previous_[i], nullptr);
    }
}

bool InterruptFlag::raised() const {
    return interrupted != 0;
}

} // namespace Corvane::cli
