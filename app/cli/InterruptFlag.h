#pragma once

#include <csignal>
#include <signal.h>

namespace Corvane::cli {

// While one exists, SIGINT (Ctrl-C), SIGTERM and SIGHUP (a closed SSH session) only raise a
// flag, which a loop of bounded reads checks between reads, so that the loop can switch the
// unit's stream off before the program ends. The handlers in place before come back when it
// is destroyed. One at a time.
class InterruptFlag {
public:
    InterruptFlag();
    ~InterruptFlag();
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

    bool raised() const;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[3] = {};
};

} // namespace Corvane::cli
