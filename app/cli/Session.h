#pragma once

#include "BackupStore.h"
#include "TarnInterface.h"

#include <chrono>
#include <functional>
#include <locale>
#include <ostream>

namespace Corvane::cli {

// What a command runs against: the unit, the terminal, the user's locale, a clock and the
// folder of backups.
struct Session {
    tarn::TarnInterface& dev;
    std::ostream& out;
    std::ostream& err;
    // Numbers in configuration files and on screen (not in CSV), as in the window.
    std::locale locale;
    // Monotonic time for the watch lines.
    std::function<std::chrono::nanoseconds()> clock;
    // Where load keeps the unit's configuration from before it, and backups lists from: the
    // window's folder.
    mapping::BackupStore backups{mapping::BackupStore::defaultRoot()};
};

} // namespace Corvane::cli
