#include "Commands.h"
#include "ExitStatus.h"
#include "LoadPlan.h"
#include "ShownValue.h"
#include "UnitItems.h"

#include <algorithm>

namespace Corvane::cli {
namespace {

using mapping::allSections;
using mapping::describe;
using mapping::Item;
using mapping::LoadPlan;
using mapping::planLoad;
using mapping::readSections;
using mapping::Section;
using mapping::sectionName;
using mapping::UnitState;
using mapping::writeSection;

const Item* find(const std::vector<Item>& items, const std::string& label) {
    const auto it =
        std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.label == label; });
    return it == items.end() ? nullptr : &*it;
}

// Lists each item of `wanted` that `before` does not already hold; returns how many.
std::size_t listChanges(std::ostream& out, const std::vector<Item>& before,
                        const std::vector<Item>& wanted) {
    std::size_t changes = 0;
    for (const Item& item : wanted) {
        const Item* old = find(before, item.label);
        if (old != nullptr && old->value == item.value) {
            continue;
        }
        ++changes;
        out << "  " << item.label << ": " << (old != nullptr ? shown(*old) : "(could not be read)")
            << " -> " << shown(item) << '\n';
    }
    return changes;
}

int disconnected(Session& s, const std::string& what) {
    s.err << "tarnwell-cli: the unit was disconnected " << what
          << ". Reconnect it and load the file again.\n";
    return exit_status::kDeviceFailure;
}

// Sends every section of the plan in order; a section the unit does not acknowledge is named
// and the rest are still sent, as the window does. False once the unit is gone.
bool send(Session& s, const LoadPlan& plan, std::size_t& sent) {
    for (const Section& section : plan.sections) {
        if (!writeSection(s.dev, section, plan.wanted)) {
            if (!s.dev.isOpen()) {
                return false;
            }
            s.err << "tarnwell-cli: the unit did not acknowledge the " << sectionName(section)
                  << '\n';
        }
        ++sent;
    }
    return true;
}

// Names each wanted item that the unit does not hold now; returns how many.
std::size_t verify(Session& s, const std::vector<Item>& wanted, const std::vector<Item>& held) {
    std::size_t mismatches = 0;
    for (const Item& item : wanted) {
        const Item* now = find(held, item.label);
        if (now != nullptr && now->value == item.value) {
            continue;
        }
        ++mismatches;
        s.err << "tarnwell-cli: " << item.label << ": sent " << shown(item) << ", "
              << (now != nullptr ? "the unit holds " + shown(*now) : "could not be read back")
              << '\n';
    }
    return mismatches;
}

} // namespace

int runLoad(Session& s, const TarnConfig& file, const std::string& path, bool dryRun) {
    UnitState current;
    readSections(s.dev, allSections(), current);
    if (!s.dev.isOpen()) {
        return disconnected(s, "while its configuration was read; nothing was sent");
    }
    const LoadPlan plan = planLoad(file, current);
    for (const std::string& note : plan.notes) {
        s.err << "tarnwell-cli: " << note << '\n';
    }
    const std::vector<Item> before = describe(current, plan.sections, s.locale);
    const std::vector<Item> wanted = describe(plan.wanted, plan.sections, s.locale);

    s.out << (dryRun ? "Dry run, nothing is sent. " : "") << "The file " << path << " holds "
          << wanted.size() << " settings; " << (dryRun ? "loading it would change" : "changing")
          << " these on unit " << s.dev.serialNumber() << ":\n";
    const std::size_t changes = listChanges(s.out, before, wanted);
    if (changes == 0) {
        s.out << "  (none: the unit already holds every one)\n";
    }
    if (dryRun) {
        return exit_status::kSuccess;
    }

    std::size_t sent = 0;
    if (!send(s, plan, sent)) {
        return disconnected(s, "while loading, after " + std::to_string(sent) + " of " +
                                   std::to_string(plan.sections.size()) +
                                   " parts of the configuration were sent; it now holds part "
                                   "of the file's configuration");
    }
    UnitState readBack;
    readSections(s.dev, plan.sections, readBack);
    if (!s.dev.isOpen()) {
        return disconnected(s, "while the settings sent were read back to check them");
    }
    const std::size_t mismatches = verify(s, wanted, describe(readBack, plan.sections, s.locale));
    if (mismatches != 0) {
        s.out << "Loaded " << path << ", but " << mismatches << " of " << wanted.size()
              << " settings do not read back as sent.\n";
        return exit_status::kMismatch;
    }
    s.out << "Loaded " << path << ": all " << wanted.size() << " settings read back as sent.\n";
    return exit_status::kSuccess;
}

} // namespace Corvane::cli
