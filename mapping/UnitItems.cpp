#include "UnitItems.h"

#include "Ipv4Address.h"
#include "UnitText.h"
#include "ValueText.h"
#include "WireValue.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace Corvane::mapping {
namespace {

constexpr std::array<std::string_view, 6> kAddressLabels{
    "IP address", "subnet mask", "gateway", "primary DNS", "alternate DNS", "LCM address"};

// The switch-board functions in the order of the unit's button record.
constexpr std::array<std::string_view, 8> kButtonLabels{
    "Mode Select button", "Startup button",    "Shutdown button",        "Mode Auto button",
    "Mode Manual button", "Mode Valet button", "Inverter Master button", "Inverter Slave button"};

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

std::string pinText(uint32_t code) {
    const std::optional<unsigned> number = pinNumber(code);
    if (!number) {
        return "none";
    }
    std::string digits = std::to_string(*number);
    return std::string(4 - digits.size(), '0') + digits;
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
            return put("PIN", pinText(*s_.pin));
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
            put(std::string(kAddressLabels[i]),
                Ipv4Address::fromDeviceValue(n.addresses[i]).toString());
        }
        put("LCM port", std::to_string(n.lcmPort));
        put("DHCP", onOff(n.dhcp));
    }

    void addButtons(const tarn::CanMsgConfig& b) {
        const std::array<uint8_t, 8> bytes{b.mode_select,     b.startup,       b.shutdown,
                                           b.mode_auto,       b.mode_manual,   b.mode_valet,
                                           b.inverter_master, b.inverter_slave};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            put(std::string(kButtonLabels[i]), buttonText(bytes[i]));
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

} // namespace Corvane::mapping
