#include "Commands.h"
#include "Comparison.h"
#include "ExitStatus.h"
#include "ItemView.h"
#include "LoadPlan.h"
#include "PlanSend.h"
#include "UnitBackup.h"

namespace Corvane::cli {
namespace {

using mapping::ItemChange;
using mapping::shown;

int disconnected(Session& s, const std::string& what) {
    s.err << "tarnwell-cli: the unit was disconnected " << what
          << ". Reconnect it and load the file again.\n";
    return exit_status::kDeviceFailure;
}

void listMismatches(std::ostream& err, const std::vector<ItemChange>& mismatches) {
    for (const ItemChange& c : mismatches) {
        err << "tarnwell-cli: " << c.file.label << ": sent " << shown(c.file) << ", "
            << (c.unit ? "the unit holds " + shown(*c.unit) : "could not be read back") << '\n';
    }
}

// The configuration just read, kept before anything changes it; none when that went well.
std::optional<int> backUp(Session& s, const mapping::UnitState& current,
                          const std::vector<mapping::Section>& unread) {
    const mapping::BackupResult backup =
        mapping::backUpState(current, unread, s.dev.serialNumber(), s.backups,
                             mapping::BackupStore::kBeforeLoad, s.locale);
    if (backup.written()) {
        s.out << "Backed up the configuration of unit " << s.dev.serialNumber() << " to "
              << backup.path.string() << '\n';
        return std::nullopt;
    }
    s.err << "tarnwell-cli: no backup could be taken, as " << backup.why
          << ".\nNothing was sent to the unit. To load without a backup, add --no-backup.\n";
    return backup.outcome == mapping::BackupResult::Outcome::WriteFailed
               ? exit_status::kFileError
               : exit_status::kDeviceFailure;
}

} // namespace

int runLoad(Session& s, const TarnConfig& file, const std::string& path, bool dryRun, bool backup) {
    mapping::UnitState current;
    const std::vector<mapping::Section> unread =
        mapping::readSections(s.dev, mapping::allSections(), current);
    if (!s.dev.isOpen()) {
        return disconnected(s, "while its configuration was read; nothing was sent");
    }
    if (backup && !dryRun) {
        if (const std::optional<int> refused = backUp(s, current, unread)) {
            return *refused;
        }
    }
    // What diff would list: load shows the same changes the same way.
    const mapping::Comparison comparison = mapping::compareWithUnit(file, current, s.locale);
    const mapping::LoadPlan& plan = comparison.plan;
    for (const std::string& note : comparison.notes) {
        s.err << "tarnwell-cli: " << note << '\n';
    }
    const std::size_t settings = comparison.itemsB;

    s.out << (dryRun ? "Dry run, nothing is sent. " : "") << "The file " << path << " holds "
          << settings << " settings; " << (dryRun ? "loading it would change" : "changing")
          << " these on unit " << s.dev.serialNumber() << ":\n";
    for (const mapping::DifferenceView& view : mapping::viewOf(comparison)) {
        s.out << "  " << mapping::lineOf(view) << '\n';
    }
    if (comparison.differences.empty()) {
        s.out << "  (none: the unit already holds every one)\n";
    }
    if (dryRun) {
        return exit_status::kSuccess;
    }

    const mapping::SendReport report = mapping::sendPlan(s.dev, plan);
    for (const mapping::Section& section : report.refused) {
        s.err << "tarnwell-cli: the unit did not acknowledge the " << mapping::sectionName(section)
              << '\n';
    }
    if (report.unitGone) {
        return disconnected(s, "while loading, after " + std::to_string(report.sent) + " of " +
                                   std::to_string(plan.sections.size()) +
                                   " parts of the configuration were sent; it now holds part "
                                   "of the file's configuration");
    }
    const std::optional<std::vector<ItemChange>> mismatches =
        mapping::readBackPlan(s.dev, plan, s.locale);
    if (!mismatches) {
        return disconnected(s, "while the settings sent were read back to check them");
    }
    listMismatches(s.err, *mismatches);
    if (!mismatches->empty()) {
        s.out << "Loaded " << path << ", but " << mismatches->size() << " of " << settings
              << " settings do not read back as sent.\n";
        return exit_status::kMismatch;
    }
    s.out << "Loaded " << path << ": all " << settings << " settings read back as sent.\n";
    return exit_status::kSuccess;
}

} // namespace Corvane::cli
