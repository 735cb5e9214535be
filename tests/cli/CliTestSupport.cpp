#include "CliTestSupport.h"

namespace clitest {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

sim::SimUnitSettings distinctSettings() {
    sim::SimUnitSettings s = sim::factoryDefaults();
    for (std::size_t ch = 0; ch < sim::kRelayChannels; ++ch) {
        s.channels[ch] = {static_cast<uint8_t>(ch % 2), static_cast<int32_t>(699 + 1000 * ch),
                          static_cast<int32_t>(86465000 + 12345 * ch)};
        s.names[ch] = "Last \xE9t\x80 " + std::to_string(ch); // é and € in the unit's code page
    }
    s.channels[3].currentMa = 7500;
    s.mode = 1;
    s.id = 2;
    s.pin = 0x09020400; // 0 4 2 9: "0429"
    s.bluetooth = false;
    s.network = {1,
                 4711,
                 sim::ipv4(10, 1, 2, 3),
                 sim::ipv4(255, 255, 0, 0),
                 sim::ipv4(10, 1, 0, 1),
                 sim::ipv4(10, 1, 0, 2),
                 sim::ipv4(9, 9, 9, 9),
                 sim::ipv4(10, 1, 2, 30)};
    s.groups = 0x0A05;
    s.buttons = {0, 1, 2, 3, 26, 255, 5, 6};
    s.scripts = {std::string(130, 'a') + "\nRELAY 1 ON\nEND", "off", "",
                 "valet \xA7 " + std::string(70, 'z')};
    return s;
}

void expectSameConfiguration(const sim::SimUnitSettings& a, const sim::SimUnitSettings& b) {
    for (std::size_t ch = 0; ch < sim::kRelayChannels; ++ch) {
        EXPECT_EQ(a.channels[ch].flags, b.channels[ch].flags) << ch;
        EXPECT_EQ(a.channels[ch].currentMa, b.channels[ch].currentMa) << ch;
        EXPECT_EQ(a.channels[ch].i2tSteps, b.channels[ch].i2tSteps) << ch;
        EXPECT_EQ(a.names[ch], b.names[ch]) << ch;
    }
    EXPECT_EQ(a.mode, b.mode);
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.pin, b.pin);
    EXPECT_EQ(a.bluetooth, b.bluetooth);
    const auto net = [](const sim::SimNetworkSettings& n) {
        return std::make_tuple(n.dhcp, n.lcmPort, n.ipAddress, n.subnet, n.gateway, n.dns1, n.dns2,
                               n.lcmAddress);
    };
    EXPECT_EQ(net(a.network), net(b.network));
    EXPECT_EQ(a.groups, b.groups);
    EXPECT_EQ(a.buttons, b.buttons);
    EXPECT_EQ(a.scripts, b.scripts);
}

} // namespace clitest
