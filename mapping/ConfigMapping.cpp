#include "ConfigMapping.h"

#include "UnitText.h"
#include "ValueText.h"
#include "WireValue.h"

#include <algorithm>
#include <array>

namespace Corvane::mapping {
namespace {

std::string channelLabel(std::size_t channel) {
    return "channel " + std::to_string(channel + 1);
}

void putScripts(const UnitState& s, TarnConfig& c, std::vector<std::string>& leftOut) {
    using Setter = void (TarnConfig::*)(std::string);
    constexpr std::array<Setter, kScripts> setters{
        &TarnConfig::setStartupScript, &TarnConfig::setShutdownScript,
        &TarnConfig::setValetStartupScript, &TarnConfig::setValetShutdownScript};
    for (uint8_t i = 0; i < kScripts; ++i) {
        if (s.scripts[i]) {
            (c.*setters[i])(tarn::UnitText::toUtf8(*s.scripts[i]));
        } else {
            leftOut.push_back(sectionName({Section::Script, i}));
        }
    }
}

IPSettings ipSettingsOf(const NetworkSettings& n) {
    const auto& a = n.addresses;
    IPSettings ip;
    ip.address = Ipv4Address::fromDeviceValue(a[0]);
    ip.subnet = Ipv4Address::fromDeviceValue(a[1]);
    ip.gateway = Ipv4Address::fromDeviceValue(a[2]);
    ip.dns1 = Ipv4Address::fromDeviceValue(a[3]);
    ip.dns2 = Ipv4Address::fromDeviceValue(a[4]);
    ip.lcmAddress = Ipv4Address::fromDeviceValue(a[5]);
    ip.lcmPort = n.lcmPort;
    ip.dhcp = n.dhcp;
    return ip;
}

SwitchBoardSettings switchBoardOf(const tarn::CanMsgConfig& b) {
    SwitchBoardSettings sb; // the two valet buttons have no byte on the unit: left absent
    sb.modeSelect = b.mode_select;
    sb.startup = b.startup;
    sb.shutdown = b.shutdown;
    sb.autoBtn = b.mode_auto;
    sb.manual = b.mode_manual;
    sb.valet = b.mode_valet;
    sb.inverterMaster = b.inverter_master;
    sb.inverterSlave = b.inverter_slave;
    return sb;
}

void putChannels(const UnitState& s, TarnConfig& c, std::vector<std::string>& leftOut) {
    for (uint8_t ch = 0; ch < kChannels; ++ch) {
        const char* missing = !s.names[ch]   ? "its name"
                              : !s.fuses[ch] ? "its fuse settings"
                              : !s.groups    ? "the channel groups"
                                             : nullptr;
        if (missing != nullptr) {
            leftOut.push_back(channelLabel(ch) + " (" + missing + " could not be read)");
            continue;
        }
        ChannelSettings cs;
        cs.channel = ch;
        cs.name = tarn::UnitText::toUtf8(*s.names[ch]);
        cs.fuse = shortestValueFor(s.fuses[ch]->current, tarn::kCurrentStep);
        cs.I2T = shortestValueFor(s.fuses[ch]->i2t, tarn::kI2tStep);
        cs.protect = s.fuses[ch]->protect;
        cs.group = ((*s.groups >> ch) & 1u) != 0;
        c.setChannel(ch, cs);
    }
}

} // namespace

TarnConfig toConfig(const UnitState& s, const std::locale& locale,
                    std::vector<std::string>& leftOut) {
    TarnConfig c(locale);
    auto take = [&](bool present, Section section, auto&& put) {
        if (present) {
            put();
        } else {
            leftOut.push_back(sectionName(section));
        }
    };
    take(s.mode.has_value(), {Section::Mode}, [&] { c.setMode(*s.mode); });
    take(s.id.has_value(), {Section::Id}, [&] { c.setId(*s.id); });
    take(s.pin.has_value(), {Section::Pin}, [&] {
        const std::optional<unsigned> number = pinNumber(*s.pin);
        const std::string digits = number ? std::to_string(*number) : "";
        c.setPin(number ? std::string(4 - digits.size(), '0') + digits : "");
        c.setPinEnabled(number.has_value());
    });
    take(s.network.has_value(), {Section::Network}, [&] { c.setIP(ipSettingsOf(*s.network)); });
    take(s.bluetooth.has_value(), {Section::Bluetooth},
         [&] { c.setBluetoothEnabled(*s.bluetooth); });
    take(s.buttons.has_value(), {Section::Buttons},
         [&] { c.setSwitchBoard(switchBoardOf(*s.buttons)); });
    putScripts(s, c, leftOut);
    putChannels(s, c, leftOut);
    return c;
}

} // namespace Corvane::mapping
