#include "SimUnitSettings.h"

namespace sim {

SimUnitSettings factoryDefaults() {
    SimUnitSettings s;
    for (std::size_t ch = 0; ch < kRelayChannels; ++ch) {
        // 100 A²s is 127155761.71875 steps; the nearest whole step is kept.
        s.channels[ch] = SimChannelConfig{0x01, 10000, 127155762};
        s.names[ch] = "Channel " + std::to_string(ch + 1);
    }
    s.names[kRelayChannels] = "Inverter";
    s.mode = 0;
    s.id = 0;
    s.pin = 0xFFFFFFFF;
    s.bluetooth = true;
    s.network = SimNetworkSettings{0,
                                   5000,
                                   ipv4(192, 168, 1, 10),
                                   ipv4(255, 255, 255, 0),
                                   ipv4(192, 168, 1, 1),
                                   ipv4(192, 168, 1, 1),
                                   ipv4(8, 8, 8, 8),
                                   ipv4(192, 168, 1, 20)};
    s.groups = 0;
    s.buttons.fill(255);
    for (auto& script : s.scripts) {
        script.clear();
    }
    return s;
}

} // namespace sim
