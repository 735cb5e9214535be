#include "UnitItems.h"

#include "Ipv4Address.h"
#include "PinCode.h"
#include "UnitText.h"
#include "ValueText.h"
#include "WireValue.h"

#include <algorithm>

namespace Corvane::mapping {
namespace {

std::string tableText(unsigned value, const auto& table) {
    return value < table.size() ? std::string(table[value])
                                : "unknown (" + std::to_string(value) + ")";
}

std::string onOff(bool on) {
    return on ? "on" : "off";
}

std::string buttonText(uint8_t button) {
    return tarn::CanMsgConfig::hasButton(button) ? std::to_string(button) : "none";
}

std::string pinShown(uint32_t code) {
    return pinText(code).value_or("none");
}

class Describer {
public:
    Describer(const UnitState& state, const std::locale& locale)
        : s_(state)
        , locale_(locale) {}

    void add(Section section) {
        if (!s_.has(section)) {
            return;
        }
        section_ = section;
        switch (section.kind) {
        case Section::Mode:
            return put("mode", tableText(*s_.mode, tarn::kModeNames));
        case Section::Id:
            return put("unit id", tableText(*s_.id, tarn::kUnitIdNames));
        case Section::Pin:
            return put("PIN", pinShown(*s_.pin));
        case Section::Bluetooth:
            return put("Bluetooth", *s_.bluetooth ? "enabled" : "disabled");
        case Section::Network:
            return addNetwork(*s_.network);
        case Section::Buttons:
            return addButtons(*s_.buttons);
        case Section::Script:
            return put(sectionName(section), tarn::UnitText::toUtf8(*s_.scripts.at(section.index)));
        case Section::Name:
            return put(sectionName(section), tarn::UnitText::toUtf8(*s_.names.at(section.index)));
        case Section::Fuse:
            return addFuse(section.index, *s_.fuses.at(section.index));
        case Section::Groups:
            return addGroups(*s_.groups);
        }
    }

    std::vector<Item> take() { return std::move(items_); }

private:
    void put(std::string label, std::string value) {
        items_.push_back({section_, std::move(label), std::move(value)});
    }

    void addNetwork(const NetworkSettings& n) {
        for (std::size_t i = 0; i < n.addresses.size(); ++i) {
            put(std::string(kAddressFields[i].name),
                Ipv4Address::fromDeviceValue(n.addresses[i]).toString());
        }
        put("LCM port", std::to_string(n.lcmPort));
        put("DHCP", onOff(n.dhcp));
    }

    void addButtons(const tarn::CanMsgConfig& b) {
        for (const ButtonField& field : kButtonFields) {
            put(std::string(field.name) + " button", buttonText(b.*field.byte));
        }
    }

    void addFuse(uint8_t channel, const ChannelFuse& f) {
        const std::string prefix = "channel " + std::to_string(channel + 1) + " ";
        put(prefix + "fuse",
            formatNumber(shortestValueFor(f.current, tarn::kCurrentStep), locale_) + " A");
        put(prefix + "I2T",
            formatNumber(shortestValueFor(f.i2t, tarn::kI2tStep), locale_) + " A\u00B2s");
        put(prefix + "protect", onOff(f.protect));
    }

    void addGroups(uint16_t groups) {
        for (unsigned ch = 0; ch < kChannels; ++ch) {
            put("channel " + std::to_string(ch + 1) + " group",
                ((groups >> ch) & 1u) ? "yes" : "no");
        }
    }

    const UnitState& s_;
    const std::locale& locale_;
    Section section_{};
    std::vector<Item> items_;
};

} // namespace

std::vector<Item> describe(const UnitState& state, const std::vector<Section>& sections,
                           const std::locale& locale) {
    Describer d(state, locale);
    for (const Section& section : sections) {
        d.add(section);
    }
    return d.take();
}

std::vector<ItemChange> changesBetween(const std::vector<Item>& unit,
                                       const std::vector<Item>& file) {
    std::vector<ItemChange> changes;
    for (const Item& item : file) {
        const auto held = std::find_if(unit.begin(), unit.end(),
                                       [&](const Item& u) { return u.label == item.label; });
        if (held == unit.end()) {
            changes.push_back({item, std::nullopt});
        } else if (held->value != item.value) {
            changes.push_back({item, *held});
        }
    }
    return changes;
}

} // namespace Corvane::mapping
