#pragma once

#include "BackupStore.h"
#include "TarnInterface.h"
#include "UnitState.h"

#include <filesystem>
#include <locale>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::mapping {

struct BackupResult {
    enum class Outcome { Written, ReadFailed, WriteFailed };
    Outcome outcome = Outcome::Written;
    std::filesystem::path path;  // Written: the backup file
    std::vector<Section> unread; // ReadFailed: the sections that could not be read
    // Why there is no backup, for the operator: "the unit's channel 3 fuse settings could not be
    // read", "the backup file could not be written (...: Permission denied)".
    std::string why;

    bool written() const { return outcome == Outcome::Written; }
};

// Backs up the unit's whole configuration before something changes it: reads every section, as
// a save does, and writes the file image through `store`. Only reads reach the unit. When any
// read fails no file is written at all, since a backup that restores only part of a unit would
// look like a whole one in the list.
BackupResult takeBackup(tarn::TarnInterface& dev, const BackupStore& store, std::string_view reason,
                        const std::locale& locale);

// The same from a configuration read a moment ago (`unread`: the sections whose read failed), for
// a command that has just read the whole unit anyway.
BackupResult backUpState(const UnitState& state, const std::vector<Section>& unread,
                         std::uint32_t serial, const BackupStore& store, std::string_view reason,
                         const std::locale& locale);

// "network settings, startup script and 3 more"
std::string sectionList(const std::vector<Section>& sections);

} // namespace Corvane::mapping
