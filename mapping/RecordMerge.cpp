#include "RecordMerge.h"

#include "ItemFields.h"

#include <algorithm>

namespace Corvane::mapping {
namespace {

// Reads the section, merges the file's record over it and sends it.
template <typename Merge>
bool loadRecord(tarn::TarnInterface& dev, Section section, Merge&& merge) {
    UnitState state;
    readSection(dev, section, state);
    if (!merge(state)) {
        return false;
    }
    return writeSection(dev, section, state);
}

} // namespace

std::optional<NetworkSettings> mergeNetwork(const IPSettings& file,
                                            const std::optional<NetworkSettings>& unit) {
    const bool complete =
        file.lcmPort && file.dhcp &&
        std::all_of(kAddressFields.begin(), kAddressFields.end(),
                    [&](const AddressField& f) { return (file.*f.setting).has_value(); });
    if (!unit && !complete) {
        return std::nullopt;
    }
    NetworkSettings n = unit.value_or(NetworkSettings{});
    for (std::size_t i = 0; i < kAddressFields.size(); ++i) {
        if (const std::optional<Ipv4Address>& address = file.*kAddressFields.at(i).setting) {
            n.addresses.at(i) = address->toDeviceValue();
        }
    }
    n.lcmPort = file.lcmPort.value_or(n.lcmPort);
    n.dhcp = file.dhcp.value_or(n.dhcp);
    return n;
}

std::optional<tarn::CanMsgConfig> mergeButtons(const SwitchBoardSettings& file,
                                               const std::optional<tarn::CanMsgConfig>& unit) {
    const bool complete =
        std::all_of(kButtonFields.begin(), kButtonFields.end(),
                    [&](const ButtonField& f) { return (file.*f.setting).has_value(); });
    if (!unit && !complete) {
        return std::nullopt;
    }
    tarn::CanMsgConfig b = unit.value_or(tarn::CanMsgConfig{});
    for (const ButtonField& f : kButtonFields) {
        if (const std::optional<std::uint8_t>& button = file.*f.setting) {
            b.*f.byte = *button;
        }
    }
    return b;
}

bool loadNetwork(tarn::TarnInterface& dev, const IPSettings& file) {
    return loadRecord(dev, {Section::Network}, [&](UnitState& s) {
        s.network = mergeNetwork(file, s.network);
        return s.network.has_value();
    });
}

bool loadButtons(tarn::TarnInterface& dev, const SwitchBoardSettings& file) {
    return loadRecord(dev, {Section::Buttons}, [&](UnitState& s) {
        s.buttons = mergeButtons(file, s.buttons);
        return s.buttons.has_value();
    });
}

} // namespace Corvane::mapping
