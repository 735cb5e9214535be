#include "TestSupport.h"

#include "ValueText.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

namespace Corvane::test {

TempDir::TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("tarn_config_test_" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string expectedFile(const std::string& name) {
    return readBytes(std::filesystem::path(TARN_CONFIG_TEST_DATA) / name);
}

std::locale commaDecimalLocale() {
    return makeNumberLocale(',', '.');
}
std::locale pointDecimalLocale() {
    return makeNumberLocale('.', ',');
}

TarnConfig fullConfig(const std::locale& numberLocale) {
    TarnConfig c(numberLocale);
    c.setMode(1);
    c.setId(0);
    c.setPin("12");
    c.setPinEnabled(false);
    c.setBluetoothEnabled(true);
    IPSettings ip;
    ip.address = Ipv4Address{{192, 168, 1, 10}};
    ip.subnet = Ipv4Address{{255, 255, 255, 0}};
    ip.gateway = Ipv4Address{{192, 168, 1, 1}};
    ip.dns1 = Ipv4Address{{192, 168, 1, 1}};
    ip.dns2 = Ipv4Address{{0, 0, 0, 0}};
    ip.lcmAddress = Ipv4Address{{192, 168, 1, 20}};
    ip.lcmPort = 5000;
    c.setIP(ip);
    SwitchBoardSettings sb;
    sb.modeSelect = 0;
    sb.startup = 1;
    sb.shutdown = 2;
    sb.autoBtn = sb.manual = sb.valet = sb.inverterMaster = 255;
    sb.inverterSlave = 3;
    c.setSwitchBoard(sb);
    c.setStartupScript("IF IGN1 > 11.5\nON 1 & 2 <fast>\nEND");
    c.setShutdownScript("");
    c.setValetStartupScript("a\r\nb");
    // Added out of order, with an inverter entry that files never carry.
    c.setChannel(1, {1, "L\u00fcfter", 7.5, 68.0, true, false});
    c.setChannel(0, {0, "Pump \"A\"", 30.0, 1130.0, false, true});
    c.setChannel(12, {12, "Inverter", 1.0, 1.0, true, true});
    c.setChannel(11, {11, "", std::nullopt, 0.25, std::nullopt, std::nullopt});
    return c;
}

TarnConfig readXml(const std::string& xml) {
    TarnConfig config(pointDecimalLocale());
    config.readConfigBytes(xml, "test.xml");
    return config;
}

} // namespace Corvane::test
