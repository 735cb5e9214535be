#include "UnitBackup.h"

#include "ConfigFileError.h"
#include "ConfigMapping.h"

namespace Corvane::mapping {

std::string sectionList(const std::vector<Section>& sections) {
    constexpr std::size_t kNamed = 3;
    std::string text;
    for (std::size_t i = 0; i < sections.size() && i < kNamed; ++i) {
        const bool last = i + 1 == sections.size();
        text += (i == 0 ? "" : last ? " and " : ", ") + sectionName(sections[i]);
    }
    if (sections.size() > kNamed) {
        text += " and " + std::to_string(sections.size() - kNamed) + " more";
    }
    return text;
}

BackupResult backUpState(const UnitState& state, const std::vector<Section>& unread,
                         std::uint32_t serial, const BackupStore& store, std::string_view reason,
                         const std::locale& locale) {
    BackupResult result;
    if (!unread.empty()) {
        result.outcome = BackupResult::Outcome::ReadFailed;
        result.unread = unread;
        result.why = "the unit's " + sectionList(unread) + " could not be read";
        return result;
    }
    std::vector<std::string> leftOut; // none: every section was read
    const TarnConfig config = toConfig(state, locale, leftOut);
    try {
        result.path = store.write(serial, reason, config);
    } catch (const ConfigFileError& e) {
        result.outcome = BackupResult::Outcome::WriteFailed;
        result.why = "the backup file could not be written (" + std::string(e.what()) + ")";
    }
    return result;
}

BackupResult takeBackup(tarn::TarnInterface& dev, const BackupStore& store, std::string_view reason,
                        const std::locale& locale) {
    BackupResult result;
    result.outcome = BackupResult::Outcome::ReadFailed;
    if (!dev.isOpen()) {
        result.unread = allSections();
        result.why = "no unit is connected";
        return result;
    }
    UnitState state;
    const std::vector<Section> unread = readSections(dev, allSections(), state);
    if (!dev.isOpen()) {
        result.unread = unread;
        result.why = "the unit was disconnected while its configuration was read";
        return result;
    }
    return backUpState(state, unread, dev.serialNumber(), store, reason, locale);
}

} // namespace Corvane::mapping
