#pragma once

#include "Session.h"

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// The commands that compare configurations and list backups (diff, backups), and load's
// --no-backup: registered on the command line and run here, beside the others.
namespace Corvane::cli {

struct BackupChoices {
    CLI::App* diff = nullptr;
    CLI::App* backups = nullptr;
    std::vector<std::string> diffFiles; // one: against the unit; two: against each other
    std::string serial;                 // backups: one unit's, or every unit's when empty
    bool noBackup = false;              // load: send without taking a backup first
    bool json = false;                  // diff: one JSON object instead of lines
};

void describeBackupCommands(CLI::App& app, CLI::App& load, BackupChoices& c);

using UnitOpener = bool (*)(Session&);

// Runs diff or backups when one of them was given; none for any other command. `openUnit`
// opens the unit (telling why it cannot) for a diff against it.
std::optional<int> runBackupCommands(Session& s, const BackupChoices& c, UnitOpener openUnit);

// Compares FILE with the unit, or two files with each other: one line per setting that
// differs, or with `json` one object holding them; status 6 when any does, 0 when none.
int runDiff(Session& s, const std::vector<std::string>& paths, UnitOpener openUnit,
            bool json = false);

// Lists backups newest first (local time, reason, file), of one unit or of every unit.
int runBackups(Session& s, const std::optional<std::uint32_t>& serial);

} // namespace Corvane::cli
