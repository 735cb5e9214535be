#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane {
class TarnConfig;
}

namespace Corvane::mapping {

// One backup file: <root>/<serial>/<UTC time>-<reason>.xml.
struct BackupEntry {
    std::filesystem::path path;
    std::uint32_t serial = 0;
    std::chrono::system_clock::time_point time;
    std::string reason; // "before-load", "before-reset", "before-send"
};

// The console's automatic backups of units' configurations, one folder per unit named by its
// serial number. Files are written in one step (a failure leaves no partial file), named by
// the UTC time they were taken so that names sort as times do, and only the newest kKeep of a
// unit are kept. Only files named as this store names them are ever listed or removed.
class BackupStore {
public:
    static constexpr std::size_t kKeep = 100;
    static constexpr std::string_view kBeforeLoad = "before-load";
    static constexpr std::string_view kBeforeReset = "before-reset";
    static constexpr std::string_view kBeforeSend = "before-send";

    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // `clock` gives the moment a backup is taken; by default the system's time.
    explicit BackupStore(std::filesystem::path root, Clock clock = {});

    // <data dir>/backups, where the data dir is the one the window's toolkit gives the program
    // named `program` (its application data location): $XDG_DATA_HOME/tarnwell, or
    // ~/.local/share/tarnwell. The simulated programs keep theirs under "tarnwell-sim".
    static std::filesystem::path defaultRoot(std::string_view program = "tarnwell");

    const std::filesystem::path& root() const { return root_; }

    // Writes `config` as a backup of unit `serial` taken at `when`, then removes that unit's
    // oldest backups beyond kKeep. Throws ConfigFileError (path and reason) when the folder or
    // the file cannot be written; nothing is left half-written.
    std::filesystem::path write(std::uint32_t serial, std::string_view reason,
                                const TarnConfig& config,
                                std::chrono::system_clock::time_point when) const;
    // The same, taken now by the store's clock.
    std::filesystem::path write(std::uint32_t serial, std::string_view reason,
                                const TarnConfig& config) const;
    // The folder that holds one unit's backups (it may not exist yet).
    std::filesystem::path folder(std::uint32_t serial) const;

    // One unit's backups, newest first; empty when there are none or the folder is unreadable.
    std::vector<BackupEntry> list(std::uint32_t serial) const;
    // Every unit's backups, by serial number, each unit's newest first.
    std::vector<BackupEntry> listAll() const;

    // "20261209T103512.345Z-before-load.xml"
    static std::string fileName(std::chrono::system_clock::time_point when,
                                std::string_view reason);
    // The time and reason a name of fileName's form stands for; empty for any other name.
    static std::optional<BackupEntry> parseFileName(const std::string& name);
    // A serial number written in decimal digits, as the folders are named and users type it.
    static std::optional<std::uint32_t> parseSerial(std::string_view text);

private:
    void prune(const std::filesystem::path& folder) const;
    std::vector<BackupEntry> entriesIn(const std::filesystem::path& folder,
                                       std::uint32_t serial) const;

    std::filesystem::path root_;
    Clock clock_;
};

} // namespace Corvane::mapping
