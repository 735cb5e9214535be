#pragma once

#include "BackupStore.h"

#include <QString>

#include <filesystem>
#include <string_view>

class QWidget;

namespace tarn {
class TarnInterface;
}

namespace Corvane {

// The window's side of backups: where they live, and what happens when one cannot be taken.
class WindowBackups {
public:
    // The backups folder of the program the application is named after: for "tarnwell" the
    // folder tarnwell-cli uses too.
    static std::filesystem::path defaultRoot();

    // Backs up the unit before something changes it (`reason`: BackupStore::kBeforeLoad ...).
    // When no backup can be taken the operator is asked whether to go on without one; No, the
    // default, is false. True: go on.
    static bool takeOrAsk(QWidget* parent, tarn::TarnInterface& dev,
                          const mapping::BackupStore& store, std::string_view reason);

    // "The unit's configuration could not be backed up: <why>. Continue without a backup?"
    static QString question(const QString& why);
};

} // namespace Corvane
