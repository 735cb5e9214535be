#include "BackupStore.h"

#include "ConfigFileError.h"
#include "TarnConfig.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

namespace Corvane::mapping {
namespace fs = std::filesystem;
namespace {

using SystemClock = std::chrono::system_clock;

// "20261209T103512.345Z-": 15 digits and letters, a dot, three digits, "Z-".
constexpr std::size_t kStampLength = 21;

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

bool validReason(std::string_view reason) {
    return !reason.empty() && std::all_of(reason.begin(), reason.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || c == '-';
    });
}

std::optional<SystemClock::time_point> parseStamp(std::string_view s) {
    if (s.size() < kStampLength || s[8] != 'T' || s[15] != '.' || s[19] != 'Z' || s[20] != '-' ||
        !allDigits(s.substr(0, 8)) || !allDigits(s.substr(9, 6)) || !allDigits(s.substr(16, 3))) {
        return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t length) {
        return std::atoi(std::string(s.substr(at, length)).c_str());
    };
    std::tm tm{};
    tm.tm_year = number(0, 4) - 1900;
    tm.tm_mon = number(4, 2) - 1;
    tm.tm_mday = number(6, 2);
    tm.tm_hour = number(9, 2);
    tm.tm_min = number(11, 2);
    tm.tm_sec = number(13, 2);
    const std::time_t seconds = timegm(&tm);
    if (seconds == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return SystemClock::from_time_t(seconds) + std::chrono::milliseconds(number(16, 3));
}

} // namespace

BackupStore::BackupStore(fs::path root, Clock clock)
    : root_(std::move(root))
    , clock_(clock ? std::move(clock) : Clock([] { return SystemClock::now(); })) {}

fs::path BackupStore::folder(std::uint32_t serial) const {
    return root_ / std::to_string(serial);
}

fs::path BackupStore::defaultRoot(std::string_view program) {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (dataHome != nullptr && fs::path(dataHome).is_absolute()) {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr ? home : "") / ".local" / "share";
    }
    return base / program / "backups";
}

std::string BackupStore::fileName(SystemClock::time_point when, std::string_view reason) {
    const auto since = when.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds);
    const std::time_t t = static_cast<std::time_t>(seconds.count());
    std::tm tm{};
    gmtime_r(&t, &tm);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02d.%03dZ-", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(millis.count()));
    return std::string(stamp) + std::string(reason) + ".xml";
}

std::optional<BackupEntry> BackupStore::parseFileName(const std::string& name) {
    constexpr std::string_view kExtension = ".xml";
    if (name.size() <= kStampLength + kExtension.size() ||
        name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) != 0) {
        return std::nullopt;
    }
    const auto time = parseStamp(name);
    const std::string reason =
        name.substr(kStampLength, name.size() - kStampLength - kExtension.size());
    if (!time || !validReason(reason)) {
        return std::nullopt;
    }
    BackupEntry entry;
    entry.time = *time;
    entry.reason = reason;
    return entry;
}

fs::path BackupStore::write(std::uint32_t serial, std::string_view reason, const TarnConfig& config,
                            SystemClock::time_point when) const {
    const fs::path unitFolder = folder(serial);
    std::error_code ec;
    fs::create_directories(unitFolder, ec);
    if (ec) {
        throw ConfigFileError(unitFolder.string(), ec.message());
    }
    // Two backups within one millisecond (a test, a script) still get a name each, in order.
    const auto ms = std::chrono::time_point_cast<std::chrono::milliseconds>(when);
    fs::path path = unitFolder / fileName(ms, reason);
    for (int step = 1; fs::exists(path, ec) && step < 1000; ++step) {
        path = unitFolder / fileName(ms + std::chrono::milliseconds(step), reason);
    }
    config.writeConfigFile(path.string());
    prune(unitFolder);
    return path;
}

fs::path BackupStore::write(std::uint32_t serial, std::string_view reason,
                            const TarnConfig& config) const {
    return write(serial, reason, config, clock_());
}

std::vector<BackupEntry> BackupStore::entriesIn(const fs::path& folder,
                                                std::uint32_t serial) const {
    std::vector<BackupEntry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) {
            continue;
        }
        if (auto entry = parseFileName(it->path().filename().string())) {
            entry->path = it->path();
            entry->serial = serial;
            entries.push_back(std::move(*entry));
        }
    }
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return a.path.filename() > b.path.filename();
    });
    return entries;
}

void BackupStore::prune(const fs::path& folder) const {
    const auto entries = entriesIn(folder, 0);
    for (std::size_t i = kKeep; i < entries.size(); ++i) {
        std::error_code ec;
        fs::remove(entries[i].path, ec); // a backup that stays is harmless; the next write retries
    }
}

std::vector<BackupEntry> BackupStore::list(std::uint32_t serial) const {
    return entriesIn(folder(serial), serial);
}

std::optional<std::uint32_t> BackupStore::parseSerial(std::string_view text) {
    if (!allDigits(text) || text.size() > 10) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(std::string(text));
    return value <= UINT32_MAX ? std::optional(static_cast<std::uint32_t>(value)) : std::nullopt;
}

std::vector<BackupEntry> BackupStore::listAll() const {
    std::vector<std::uint32_t> serials;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // Only the folders this store names: no leading zeros.
        const std::optional<std::uint32_t> serial = parseSerial(name);
        if (it->is_directory(ec) && serial && std::to_string(*serial) == name) {
            serials.push_back(*serial);
        }
    }
    std::sort(serials.begin(), serials.end());
    std::vector<BackupEntry> all;
    for (const std::uint32_t serial : serials) {
        auto entries = list(serial);
        all.insert(all.end(), entries.begin(), entries.end());
    }
    return all;
}

} // namespace Corvane::mapping
