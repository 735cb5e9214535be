#include "ConfigMapping.h"

#include "PinCode.h"
#include "UnitText.h"
#include "WireValue.h"

namespace Corvane::mapping {
namespace {

// Why a channel cannot be written whole; null when it can.
const char* missingPart(const UnitState& s, std::uint8_t ch) {
    return !s.names.at(ch)   ? "its name"
           : !s.fuses.at(ch) ? "its fuse settings"
           : !s.groups       ? "the channel groups"
                             : nullptr;
}

ChannelSettings channelOf(const UnitState& s, std::uint8_t ch) {
    ChannelSettings cs;
    cs.channel = ch;
    cs.name = tarn::UnitText::toUtf8(*s.names.at(ch));
    cs.fuse = shortestValueFor(s.fuses.at(ch)->current, tarn::kCurrentStep);
    cs.I2T = shortestValueFor(s.fuses.at(ch)->i2t, tarn::kI2tStep);
    cs.protect = s.fuses.at(ch)->protect;
    cs.group = ((*s.groups >> ch) & 1u) != 0;
    return cs;
}

// Every item of `s` the file can carry.
void putHeld(const UnitState& s, TarnConfig& c) {
    if (s.mode) {
        c.setMode(*s.mode);
    }
    if (s.id) {
        c.setId(*s.id);
    }
    if (s.pin) {
        const std::optional<std::string> digits = pinText(*s.pin);
        c.setPin(digits.value_or(""));
        c.setPinEnabled(digits.has_value());
    }
    if (s.network) {
        c.setIP(ipSettingsOf(*s.network));
    }
    if (s.bluetooth) {
        c.setBluetoothEnabled(*s.bluetooth);
    }
    if (s.buttons) {
        c.setSwitchBoard(switchBoardOf(*s.buttons));
    }
    for (std::size_t i = 0; i < kScripts; ++i) {
        if (s.scripts.at(i)) {
            (c.*kScriptFields.at(i).store)(tarn::UnitText::toUtf8(*s.scripts.at(i)));
        }
    }
    for (std::uint8_t ch = 0; ch < kChannels; ++ch) {
        if (missingPart(s, ch) == nullptr) {
            c.setChannel(ch, channelOf(s, ch));
        }
    }
}

} // namespace

IPSettings ipSettingsOf(const NetworkSettings& n) {
    IPSettings ip;
    for (std::size_t i = 0; i < kAddressFields.size(); ++i) {
        ip.*kAddressFields.at(i).setting = Ipv4Address::fromDeviceValue(n.addresses.at(i));
    }
    ip.lcmPort = n.lcmPort;
    ip.dhcp = n.dhcp;
    return ip;
}

SwitchBoardSettings switchBoardOf(const tarn::CanMsgConfig& b) {
    SwitchBoardSettings sb;
    for (const ButtonField& field : kButtonFields) {
        sb.*field.setting = b.*field.byte;
    }
    return sb;
}

TarnConfig toConfig(const UnitState& s, const std::locale& locale,
                    std::vector<std::string>& leftOut) {
    TarnConfig c(locale);
    putHeld(s, c);
    std::vector<Section> unitWide{{Section::Mode},    {Section::Id},        {Section::Pin},
                                  {Section::Network}, {Section::Bluetooth}, {Section::Buttons}};
    for (std::uint8_t i = 0; i < kScripts; ++i) {
        unitWide.push_back({Section::Script, i});
    }
    for (const Section& section : unitWide) {
        if (!s.has(section)) {
            leftOut.push_back(sectionName(section));
        }
    }
    for (std::uint8_t ch = 0; ch < kChannels; ++ch) {
        if (const char* missing = missingPart(s, ch)) {
            leftOut.push_back("channel " + std::to_string(ch + 1) + " (" + missing +
                              " could not be read)");
        }
    }
    return c;
}

std::vector<Section> unitHeldSections() {
    std::vector<Section> sections{{Section::Network}, {Section::Buttons}};
    for (std::uint8_t i = 0; i < kScripts; ++i) {
        sections.push_back({Section::Script, i});
    }
    return sections;
}

std::vector<Section> readIntoConfig(tarn::TarnInterface& dev, const std::vector<Section>& sections,
                                    TarnConfig& config) {
    UnitState state;
    std::vector<Section> failed = readSections(dev, sections, state);
    putHeld(state, config);
    return failed;
}

} // namespace Corvane::mapping
