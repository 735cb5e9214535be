#include "BackupCommands.h"

#include "Comparison.h"
#include "ConfigFileError.h"
#include "ExitStatus.h"
#include "ItemView.h"
#include "JsonWriter.h"
#include "TarnConfig.h"
#include "UnitState.h"

#include <CLI/CLI.hpp>

#include <ctime>
#include <functional>

namespace Corvane::cli {
namespace {

std::optional<TarnConfig> readFile(Session& s, const std::string& path) {
    TarnConfig file(s.locale);
    try {
        file.readConfigFile(path);
    } catch (const ConfigFileError& e) {
        s.err << "tarnwell-cli: cannot compare " << e.what() << '\n';
        return std::nullopt;
    }
    return file;
}

int report(Session& s, const mapping::Comparison& c, const std::string& what,
           const std::string& sizes) {
    for (const std::string& note : c.notes) {
        s.err << "tarnwell-cli: " << note << '\n';
    }
    if (c.differences.empty()) {
        s.out << what << ": " << sizes << ", none differs.\n";
        return exit_status::kSuccess;
    }
    s.out << what << ": " << sizes << ", " << c.differences.size()
          << (c.differences.size() == 1 ? " differs" : " differ") << ":\n";
    for (const mapping::DifferenceView& view : mapping::viewOf(c)) {
        s.out << "  " << mapping::lineOf(view) << '\n';
    }
    return exit_status::kDiffers;
}

// The sides' names as the object's members call them: "unit" and "file", or "file1" and "file2".
struct Sides {
    std::string a;
    std::string b;
};

int reportJson(Session& s, const mapping::Comparison& c, const Sides& sides,
               const std::function<void(JsonWriter&)>& header) {
    JsonWriter json;
    json.beginObject();
    header(json);
    json.key("differences").beginArray();
    for (const mapping::DifferenceView& view : mapping::viewOf(c)) {
        json.beginObject().key("item").string(view.label);
        json.key(sides.a).string(view.a).key(sides.b).string(view.b).endObject();
    }
    json.endArray().key("notes").beginArray();
    for (const std::string& note : c.notes) {
        json.string(note);
    }
    json.endArray().endObject();
    s.out << json.text() << '\n';
    return c.differences.empty() ? exit_status::kSuccess : exit_status::kDiffers;
}

std::string localTime(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

} // namespace

void describeBackupCommands(CLI::App& app, CLI::App& load, BackupChoices& c) {
    load.add_flag("--no-backup", c.noBackup,
                  "Send without first keeping the unit's configuration as a backup");
    c.diff = app.add_subcommand("diff", "Compare FILE with the unit's configuration, or two files "
                                        "with each other; one line per setting that differs");
    c.diff->add_option("FILE", c.diffFiles, "Configuration file, or two of them")
        ->required()
        ->expected(1, 2);
    c.diff->add_flag(
        "--json", c.json,
        "Print one JSON object: the sides, the item counts, each difference and notes");
    c.backups = app.add_subcommand(
        "backups", "List the backups load and the window took, newest first (of every unit, or "
                   "of the unit with serial number SERIAL)");
    c.backups->add_option("SERIAL", c.serial, "A unit's serial number, as info shows it")
        ->check(CLI::Validator(
            [](std::string& text) {
                return mapping::BackupStore::parseSerial(text)
                           ? std::string()
                           : "SERIAL is a decimal number: " + text;
            },
            "NUMBER"));
}

std::optional<int> runBackupCommands(Session& s, const BackupChoices& c, UnitOpener openUnit) {
    if (c.diff != nullptr && c.diff->parsed()) {
        return runDiff(s, c.diffFiles, openUnit, c.json);
    }
    if (c.backups != nullptr && c.backups->parsed()) {
        return runBackups(s, c.serial.empty() ? std::nullopt
                                              : mapping::BackupStore::parseSerial(c.serial));
    }
    return std::nullopt;
}

int runDiff(Session& s, const std::vector<std::string>& paths, UnitOpener openUnit, bool json) {
    std::vector<TarnConfig> files;
    for (const std::string& path : paths) {
        std::optional<TarnConfig> file = readFile(s, path);
        if (!file) {
            return exit_status::kFileError;
        }
        files.push_back(std::move(*file));
    }
    if (files.size() == 2) {
        const mapping::Comparison c = mapping::compareFiles(files[0], files[1], s.locale);
        if (json) {
            return reportJson(s, c, {"file1", "file2"}, [&](JsonWriter& w) {
                w.key("file1").string(paths[0]).key("file2").string(paths[1]);
                w.key("items_in_file1").integer(static_cast<std::int64_t>(c.itemsA));
                w.key("items_in_file2").integer(static_cast<std::int64_t>(c.itemsB));
            });
        }
        return report(s, c, paths[0] + " against " + paths[1],
                      std::to_string(c.itemsA) + " items in the first, " +
                          std::to_string(c.itemsB) + " in the second");
    }
    if (!openUnit(s)) {
        return exit_status::kNoUnit;
    }
    mapping::UnitState unit;
    mapping::readSections(s.dev, mapping::allSections(), unit);
    if (!s.dev.isOpen()) {
        s.err << "tarnwell-cli: the unit was disconnected while its configuration was read.\n";
        return exit_status::kDeviceFailure;
    }
    const mapping::Comparison c = mapping::compareWithUnit(files[0], unit, s.locale);
    if (json) {
        return reportJson(s, c, {"unit", "file"}, [&](JsonWriter& w) {
            w.key("serial").integer(s.dev.serialNumber()).key("file").string(paths[0]);
            w.key("items_in_file").integer(static_cast<std::int64_t>(c.itemsB));
        });
    }
    return report(s, c, "Unit " + std::to_string(s.dev.serialNumber()) + " against " + paths[0],
                  std::to_string(c.itemsB) + " items in the file");
}

int runBackups(Session& s, const std::optional<std::uint32_t>& serial) {
    const std::vector<mapping::BackupEntry> entries =
        serial ? s.backups.list(*serial) : s.backups.listAll();
    if (entries.empty()) {
        s.out << "No backups in "
              << (serial ? s.backups.folder(*serial) : s.backups.root()).string() << ".\n";
        return exit_status::kSuccess;
    }
    for (const mapping::BackupEntry& e : entries) {
        s.out << localTime(e.time) << "  " << e.serial << "  " << e.reason << "  "
              << e.path.string() << '\n';
    }
    return exit_status::kSuccess;
}

} // namespace Corvane::cli
