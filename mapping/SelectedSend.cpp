#include "SelectedSend.h"

#include "ItemView.h"
#include "PlanSend.h"

#include <algorithm>

namespace Corvane::mapping {
namespace {

bool contains(const std::vector<std::string>& labels, const std::string& label) {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

void copySection(UnitState& to, const UnitState& from, Section s) {
    switch (s.kind) {
    case Section::Mode:
        to.mode = from.mode;
        return;
    case Section::Id:
        to.id = from.id;
        return;
    case Section::Pin:
        to.pin = from.pin;
        return;
    case Section::Bluetooth:
        to.bluetooth = from.bluetooth;
        return;
    case Section::Network:
        to.network = from.network;
        return;
    case Section::Buttons:
        to.buttons = from.buttons;
        return;
    case Section::Script:
        to.scripts.at(s.index) = from.scripts.at(s.index);
        return;
    case Section::Name:
        to.names.at(s.index) = from.names.at(s.index);
        return;
    case Section::Fuse:
        to.fuses.at(s.index) = from.fuses.at(s.index);
        return;
    case Section::Groups:
        to.groups = from.groups;
        return;
    }
}

// Setting `field` of section `s`, counted as describe() lists the section's settings.
void copyField(UnitState& to, const UnitState& from, Section s, std::size_t field) {
    switch (s.kind) {
    case Section::Network: {
        NetworkSettings& t = to.network.value();
        const NetworkSettings& f = from.network.value();
        if (field < t.addresses.size()) {
            t.addresses.at(field) = f.addresses.at(field);
        } else if (field == t.addresses.size()) {
            t.lcmPort = f.lcmPort;
        } else {
            t.dhcp = f.dhcp;
        }
        return;
    }
    case Section::Buttons: {
        const auto byte = kButtonFields.at(field).byte;
        to.buttons.value().*byte = from.buttons.value().*byte;
        return;
    }
    case Section::Fuse: {
        ChannelFuse& t = to.fuses.at(s.index).value();
        const ChannelFuse& f = from.fuses.at(s.index).value();
        if (field == 0) {
            t.current = f.current;
        } else if (field == 1) {
            t.i2t = f.i2t;
        } else {
            t.protect = f.protect;
        }
        return;
    }
    case Section::Groups: {
        const auto bit = static_cast<std::uint16_t>(1u << field);
        to.groups = static_cast<std::uint16_t>((*to.groups & ~bit) | (*from.groups & bit));
        return;
    }
    default:
        return copySection(to, from, s);
    }
}

ItemOutcome notSent(const std::string& label, std::string why) {
    return {label, ItemOutcome::Result::NotSent, std::nullopt, std::move(why)};
}

ItemOutcome outcomeOf(const Item& item, const LoadPlan& chosen, const SendReport& report,
                      const std::optional<std::vector<ItemChange>>& mismatches) {
    const auto at = std::find(chosen.sections.begin(), chosen.sections.end(), item.section);
    if (at == chosen.sections.end()) {
        return notSent(item.label,
                       "the unit's other " + sectionName(item.section) + " could not be read");
    }
    if (report.unitGone && static_cast<std::size_t>(at - chosen.sections.begin()) >= report.sent) {
        return notSent(item.label, "the unit went away");
    }
    if (!mismatches) {
        return {item.label, ItemOutcome::Result::NotReadBack, std::nullopt, {}};
    }
    const auto bad = std::find_if(mismatches->begin(), mismatches->end(),
                                  [&](const ItemChange& c) { return c.file.label == item.label; });
    if (bad == mismatches->end()) {
        return {item.label, ItemOutcome::Result::Holds, std::nullopt, {}};
    }
    return {item.label,
            bad->unit ? ItemOutcome::Result::DoesNotHold : ItemOutcome::Result::NotReadBack,
            bad->unit,
            {}};
}

} // namespace

LoadPlan selectItems(const LoadPlan& plan, const std::vector<std::string>& labels,
                     const std::locale& locale) {
    LoadPlan chosen;
    chosen.current = plan.current;
    for (const Section& s : plan.sections) {
        const std::vector<Item> items = describe(plan.wanted, {s}, locale);
        const auto picked = static_cast<std::size_t>(std::count_if(
            items.begin(), items.end(), [&](const Item& i) { return contains(labels, i.label); }));
        if (picked == 0) {
            continue;
        }
        if (picked == items.size()) {
            copySection(chosen.wanted, plan.wanted, s);
        } else if (!plan.current.has(s)) {
            chosen.notes.push_back(sectionName(s) +
                                   ": the unit's own could not be read to complete the settings "
                                   "not chosen; choose all of them to send it");
            continue;
        } else {
            copySection(chosen.wanted, plan.current, s);
            for (std::size_t field = 0; field < items.size(); ++field) {
                if (contains(labels, items[field].label)) {
                    copyField(chosen.wanted, plan.wanted, s, field);
                }
            }
        }
        chosen.sections.push_back(s);
    }
    return chosen;
}

std::vector<ItemOutcome> sendSelected(tarn::TarnInterface& dev, const LoadPlan& plan,
                                      const std::vector<std::string>& labels,
                                      const std::locale& locale) {
    const LoadPlan chosen = selectItems(plan, labels, locale);
    const SendReport report = sendPlan(dev, chosen);
    const std::optional<std::vector<ItemChange>> mismatches =
        report.unitGone ? std::nullopt : readBackPlan(dev, chosen, locale);
    std::vector<ItemOutcome> outcomes;
    for (const Item& item : plannedItems(plan, locale)) {
        if (contains(labels, item.label)) {
            outcomes.push_back(outcomeOf(item, chosen, report, mismatches));
        }
    }
    return outcomes;
}

std::string outcomeText(const ItemOutcome& outcome) {
    switch (outcome.result) {
    case ItemOutcome::Result::Holds:
        return "holds";
    case ItemOutcome::Result::DoesNotHold:
        return "does not hold: the unit has " + shown(outcome.unit.value());
    case ItemOutcome::Result::NotReadBack:
        return "sent, but it could not be read back";
    case ItemOutcome::Result::NotSent:
        return "not sent: " + outcome.why;
    }
    return {};
}

} // namespace Corvane::mapping
