#include "UnitState.h"

#include "WireValue.h"

#include <utility>

namespace Corvane::mapping {
namespace {

// Runs one device read into a fresh value; the field holds the value after a success and is
// empty after a failure.
template <typename T, typename Read>
bool take(std::optional<T>& field, Read&& read) {
    T value{};
    const bool ok = read(value);
    if (ok) {
        field = std::move(value);
    } else {
        field.reset();
    }
    return ok;
}

uint32_t scriptType(Section section) {
    return static_cast<uint32_t>(section.index) + 1; // SCRIPT_IGNITION_ON and on
}

bool readNetwork(tarn::TarnInterface& dev, UnitState& state) {
    return take(state.network, [&](NetworkSettings& n) {
        auto& a = n.addresses;
        return dev.getIPSettings(&a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &n.lcmPort, &n.dhcp);
    });
}

bool readFuse(tarn::TarnInterface& dev, uint8_t channel, UnitState& state) {
    return take(state.fuses.at(channel), [&](ChannelFuse& f) {
        double current = 0;
        double i2t = 0;
        if (!dev.getChannelConfig(channel, &current, &i2t, &f.protect)) {
            return false;
        }
        f.current = stepsOf(current, tarn::kCurrentStep);
        f.i2t = stepsOf(i2t, tarn::kI2tStep);
        return true;
    });
}

} // namespace

std::vector<Section> allSections() {
    std::vector<Section> all{{Section::Mode},      {Section::Id},      {Section::Pin},
                             {Section::Bluetooth}, {Section::Network}, {Section::Buttons}};
    for (uint8_t i = 0; i < kScripts; ++i) {
        all.push_back({Section::Script, i});
    }
    for (uint8_t ch = 0; ch < kChannels; ++ch) {
        all.push_back({Section::Name, ch});
        all.push_back({Section::Fuse, ch});
    }
    all.push_back({Section::Groups});
    return all;
}

std::string sectionName(Section section) {
    const std::string channel = "channel " + std::to_string(section.index + 1);
    switch (section.kind) {
    case Section::Mode:
        return "mode";
    case Section::Id:
        return "unit id";
    case Section::Pin:
        return "PIN";
    case Section::Bluetooth:
        return "Bluetooth setting";
    case Section::Network:
        return "network settings";
    case Section::Buttons:
        return "switch-board buttons";
    case Section::Script:
        return std::string(kScriptFields.at(section.index).name) + " script";
    case Section::Name:
        return channel + " name";
    case Section::Fuse:
        return channel + " fuse settings";
    case Section::Groups:
        return "channel groups";
    }
    return "?";
}

bool UnitState::has(Section section) const {
    switch (section.kind) {
    case Section::Mode:
        return mode.has_value();
    case Section::Id:
        return id.has_value();
    case Section::Pin:
        return pin.has_value();
    case Section::Bluetooth:
        return bluetooth.has_value();
    case Section::Network:
        return network.has_value();
    case Section::Buttons:
        return buttons.has_value();
    case Section::Script:
        return scripts.at(section.index).has_value();
    case Section::Name:
        return names.at(section.index).has_value();
    case Section::Fuse:
        return fuses.at(section.index).has_value();
    case Section::Groups:
        return groups.has_value();
    }
    return false;
}

bool readSection(tarn::TarnInterface& dev, Section section, UnitState& state) {
    const uint8_t i = section.index;
    switch (section.kind) {
    case Section::Mode:
        return take(state.mode, [&](uint8_t& v) { return dev.getMode(&v); });
    case Section::Id:
        return take(state.id, [&](uint8_t& v) { return dev.getId(&v); });
    case Section::Pin:
        return take(state.pin, [&](uint32_t& v) { return dev.getPassword(&v); });
    case Section::Bluetooth:
        return take(state.bluetooth, [&](bool& v) { return dev.getBluetoothEnabled(&v); });
    case Section::Network:
        return readNetwork(dev, state);
    case Section::Buttons:
        return take(state.buttons, [&](tarn::CanMsgConfig& v) { return dev.getButtonConfig(&v); });
    case Section::Script:
        return take(state.scripts.at(i),
                    [&](std::string& v) { return dev.getScript(v, scriptType(section)); });
    case Section::Name:
        return take(state.names.at(i), [&](std::string& v) { return dev.getChannelName(i, &v); });
    case Section::Fuse:
        return readFuse(dev, i, state);
    case Section::Groups:
        return take(state.groups, [&](uint16_t& v) { return dev.getChannelGroups(&v); });
    }
    return false;
}

bool writeSection(tarn::TarnInterface& dev, Section section, const UnitState& state) {
    switch (section.kind) {
    case Section::Mode:
        return dev.setMode(state.mode.value());
    case Section::Id:
        return dev.setId(state.id.value());
    case Section::Pin:
        return dev.setPassword(state.pin.value());
    case Section::Bluetooth:
        return dev.setBluetoothEnabled(state.bluetooth.value());
    case Section::Network: {
        const NetworkSettings& n = state.network.value();
        const auto& a = n.addresses;
        return dev.setIPSettings(a[0], a[1], a[2], a[3], a[4], a[5], n.lcmPort, n.dhcp);
    }
    case Section::Buttons:
        return dev.setButtonConfig(state.buttons.value());
    case Section::Script:
        return dev.setScript(state.scripts.at(section.index).value(), scriptType(section));
    case Section::Name:
        return dev.setChannelName(section.index, state.names.at(section.index).value());
    case Section::Fuse: {
        const ChannelFuse& f = state.fuses.at(section.index).value();
        return dev.setChannelConfig(section.index, shortestValueFor(f.current, tarn::kCurrentStep),
                                    shortestValueFor(f.i2t, tarn::kI2tStep), f.protect);
    }
    case Section::Groups:
        return dev.setChannelGroups(state.groups.value());
    }
    return false;
}

std::vector<Section> readSections(tarn::TarnInterface& dev, const std::vector<Section>& sections,
                                  UnitState& state) {
    std::vector<Section> failed;
    for (const Section& section : sections) {
        if (!dev.isOpen() || !readSection(dev, section, state)) {
            failed.push_back(section);
        }
    }
    return failed;
}

} // namespace Corvane::mapping
