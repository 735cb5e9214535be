#include "Comparison.h"

#include "PinCode.h"

#include <algorithm>

namespace Corvane::mapping {
namespace {

// A unit whose every setting is known, and a second one that differs from it in every one. A
// setting the file gives is planned the same onto both; one it leaves to the unit is not.
UnitState standIn(bool second) {
    const auto v = static_cast<std::uint8_t>(second ? 1 : 0);
    UnitState s;
    s.mode = v;
    s.id = v;
    s.pin =
        pinCode(v); // both with a PIN: a file's PIN then counts whether or not it is switched on
    s.bluetooth = second;
    NetworkSettings network;
    network.addresses.fill(v);
    network.lcmPort = v;
    network.dhcp = second;
    s.network = network;
    tarn::CanMsgConfig buttons;
    for (const ButtonField& field : kButtonFields) {
        buttons.*field.byte = v;
    }
    s.buttons = buttons;
    s.scripts.fill(std::string()); // a file gives texts whole: these only name the items
    s.names.fill(std::string());
    s.fuses.fill(ChannelFuse{v, v, second});
    s.groups = second ? 0x0FFF : 0;
    return s;
}

const Item* find(const std::vector<Item>& items, const std::string& label) {
    const auto it = std::find_if(items.begin(), items.end(),
                                 [&](const Item& item) { return item.label == label; });
    return it == items.end() ? nullptr : &*it;
}

std::optional<Item> maybe(const Item* item) {
    return item != nullptr ? std::optional<Item>(*item) : std::nullopt;
}

} // namespace

std::vector<Item> fileItems(const TarnConfig& file, const std::locale& locale,
                            std::vector<std::string>& notes) {
    const LoadPlan first = planLoad(file, standIn(false));
    const std::vector<Item> onFirst = plannedItems(first, locale);
    const std::vector<Item> onSecond = plannedItems(planLoad(file, standIn(true)), locale);
    std::vector<Item> given;
    for (const Item& item : onFirst) {
        const Item* other = find(onSecond, item.label);
        if (other != nullptr && other->value == item.value) {
            given.push_back(item);
        }
    }
    notes.insert(notes.end(), first.notes.begin(), first.notes.end());
    return given;
}

Comparison compareWithUnit(const TarnConfig& file, const UnitState& unit,
                           const std::locale& locale) {
    Comparison c;
    c.plan = planLoad(file, unit);
    c.notes = c.plan.notes;
    c.itemsA = describe(unit, allSections(), locale).size();
    c.itemsB = plannedItems(c.plan, locale).size();
    for (ItemChange& change : planChanges(c.plan, locale)) {
        c.differences.push_back(
            {change.file.label, std::move(change.unit), std::move(change.file)});
    }
    c.absentA = "(could not be read)";
    c.absentB = "(not in the file)";
    return c;
}

Comparison compareFiles(const TarnConfig& a, const TarnConfig& b, const std::locale& locale) {
    Comparison c;
    std::vector<std::string> notesA;
    std::vector<std::string> notesB;
    const std::vector<Item> itemsA = fileItems(a, locale, notesA);
    const std::vector<Item> itemsB = fileItems(b, locale, notesB);
    for (const std::string& note : notesA) {
        c.notes.push_back("first file: " + note);
    }
    for (const std::string& note : notesB) {
        c.notes.push_back("second file: " + note);
    }
    c.itemsA = itemsA.size();
    c.itemsB = itemsB.size();
    // Every label a configuration can have, in sending order, walks both lists at once.
    for (const Item& label : describe(standIn(false), allSections(), locale)) {
        const Item* inA = find(itemsA, label.label);
        const Item* inB = find(itemsB, label.label);
        if ((inA == nullptr) != (inB == nullptr) || (inA != nullptr && inA->value != inB->value)) {
            c.differences.push_back({label.label, maybe(inA), maybe(inB)});
        }
    }
    c.absentA = "(not in the file)";
    c.absentB = "(not in the file)";
    return c;
}

} // namespace Corvane::mapping
