#include "ItemView.h"

#include <algorithm>

namespace Corvane::mapping {

std::string shown(const Item& item) {
    if (item.section.kind != Section::Script && item.section.kind != Section::Name) {
        return item.value;
    }
    const std::string& value = item.value;
    constexpr std::size_t kShown = 40;
    const std::size_t lineEnd = value.find_first_of("\r\n");
    if (lineEnd == std::string::npos && value.size() <= kShown + 8) {
        return "\"" + value + "\"";
    }
    std::string head = value.substr(0, std::min(lineEnd, kShown));
    // Never end on part of a UTF-8 sequence: drop its trailing bytes and its lead byte.
    while (!head.empty() && (static_cast<unsigned char>(head.back()) & 0xC0u) == 0x80u) {
        head.pop_back();
    }
    if (!head.empty() && static_cast<unsigned char>(head.back()) >= 0xC0u) {
        head.pop_back();
    }
    return "\"" + head + "...\" (" + std::to_string(value.size()) + " bytes)";
}

std::vector<DifferenceView> viewOf(const Comparison& comparison) {
    std::vector<DifferenceView> views;
    for (const ItemDifference& d : comparison.differences) {
        views.push_back({d.label, d.a ? shown(*d.a) : comparison.absentA,
                         d.b ? shown(*d.b) : comparison.absentB});
    }
    return views;
}

std::string lineOf(const DifferenceView& view) {
    return view.label + ": " + view.a + " -> " + view.b;
}

} // namespace Corvane::mapping
