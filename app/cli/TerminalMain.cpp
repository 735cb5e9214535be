#include "TerminalMain.h"

#include "Cli.h"
#include "TarnConfig.h"

#include <csignal>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace Corvane::cli {

std::chrono::nanoseconds steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

int runInTerminal(int argc, char** argv, tarn::TarnInterface& dev, mapping::BackupStore backups) {
    // A closed pipe (watch | head) must show as a failed write, so that watch can still switch
    // the unit's stream off, rather than end the program at once.
    std::signal(SIGPIPE, SIG_IGN);
    Session session{
        dev,
        std::cout,
        std::cerr,
        // The configuration layer's choice of the user's locale, which the window shares.
        TarnConfig().getLocale(),
        &steadyNow,
        std::move(backups),
    };
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return runCli(args, session);
}

} // namespace Corvane::cli
