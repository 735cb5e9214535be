#include "TarnInterface.h"

#include "TelemetryDecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace tarn {

namespace {

using Packet = ConfigPacket;

// The wire's integer for a quotient: truncated toward zero and held to the int32 range, so
// that no double (infinities included) makes an out-of-range conversion. NaN has no integer.
std::optional<int32_t> wireInt32(double quotient) {
    if (std::isnan(quotient)) {
        return std::nullopt;
    }
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    if (quotient >= kMax) {
        return std::numeric_limits<int32_t>::max();
    }
    if (quotient <= kMin) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(quotient); // truncates toward zero
}

// A zero-terminated text at the unit boundary: up to its first zero byte.
std::size_t textLength(const std::string& text) {
    const std::size_t zero = text.find('\0');
    return zero == std::string::npos ? text.size() : zero;
}

template <typename L>
Packet packetOf(const L& request) {
    Packet packet;
    packet.put(request);
    return packet;
}

} // namespace

bool TarnInterface::writeCfg(const uint8_t* data, int32_t size) {
    return writeCfg(data, size, kCfgTimeout);
}

int32_t TarnInterface::readCfg(uint8_t* data, int32_t size) {
    return readCfg(data, size, kCfgTimeout);
}

bool TarnInterface::exchange(ConfigPacket& packet, int32_t requestBytes, int32_t minReply,
                             int32_t timeout) {
    const uint8_t sent = packet.cmd();
    if (!writeCfg(packet.data(), requestBytes, timeout)) {
        return false;
    }
    const int32_t n = readCfg(packet.data(), ConfigPacket::kSize, timeout);
    // A failed read (-1) is shorter than any minimum.
    if (n < minReply) {
        return false;
    }
    return packet.cmd() == sent;
}

template <typename L>
bool TarnInterface::exchange(const L& request, ConfigPacket& reply, int32_t requestBytes,
                             int32_t minReply, int32_t timeout) {
    reply = packetOf(request);
    return exchange(reply, requestBytes, minReply, timeout);
}

// ---- Identity -----------------------------------------------------------------------------

bool TarnInterface::readVersion() {
    Packet reply;
    if (!exchange(Packet::version{.cmd = commandByte(Command::READ_VERSION)}, reply, 1, 20)) {
        return false;
    }
    const auto v = reply.as<Packet::version>();
    hwRev_ = v.hw_rev;
    versionExtra_ = v.extra.value();
    versionMajor_ = v.major.value();
    versionMinor_ = v.minor.value();
    versionBuild_ = v.build.value();
    serialNumber_ = v.serial.value();
    return true;
}

std::string TarnInterface::version() const {
    return std::to_string(versionMajor_) + '.' + std::to_string(versionMinor_) + '.' +
           std::to_string(versionBuild_);
}

// ---- Configuration commands ---------------------------------------------------------------

bool TarnInterface::setChannelConfig(uint32_t channel, double fuse_current, double fuse_i2t,
                                     bool protect_fuse) {
    if (channel >= kRelayChannels) {
        return false;
    }
    const auto current = wireInt32(fuse_current / kCurrentStep);
    const auto i2t = wireInt32(fuse_i2t / kI2tStep);
    if (!current || !i2t) {
        return false;
    }
    Packet::chan_config request{};
    request.cmd = commandByte(Command::SET_CHANNEL_CONFIG);
    request.channel = static_cast<uint8_t>(channel);
    request.flags = protect_fuse ? Packet::chan_config::kProtectFuse : uint8_t{0};
    request.fuse.current.set(*current);
    request.fuse.i2t.set(*i2t);
    Packet reply;
    return exchange(request, reply, 12, 1);
}

bool TarnInterface::getChannelConfig(uint32_t channel, double* fuse_current, double* fuse_i2t,
                                     bool* protect_fuse) {
    if (channel >= kRelayChannels) {
        return false;
    }
    Packet::chan_config request{};
    request.cmd = commandByte(Command::GET_CHANNEL_CONFIG);
    request.channel = static_cast<uint8_t>(channel);
    Packet reply;
    if (!exchange(request, reply, 2, 12)) {
        return false;
    }
    const auto config = reply.as<Packet::chan_config>();
    if (fuse_current != nullptr) {
        *fuse_current = config.fuse.current.value() * kCurrentStep;
    }
    if (fuse_i2t != nullptr) {
        *fuse_i2t = config.fuse.i2t.value() * kI2tStep;
    }
    if (protect_fuse != nullptr) {
        *protect_fuse = (config.flags & Packet::chan_config::kProtectFuse) != 0;
    }
    return true;
}

bool TarnInterface::setChannelName(uint32_t channel, const std::string& name) {
    if (channel > kInverterChannel) {
        return false;
    }
    Packet::chan_name request{};
    request.cmd = commandByte(Command::SET_CHANNEL_NAME);
    request.channel = static_cast<uint8_t>(channel);
    // Longer names are cut so that the terminator always fits the field.
    const std::size_t length = std::min(textLength(name), Packet::chan_name::kMaxName);
    std::memcpy(request.name.data(), name.data(), length);
    Packet reply;
    return exchange(request, reply, 64, 1);
}

bool TarnInterface::getChannelName(uint32_t channel, std::string* name) {
    if (channel > kInverterChannel) {
        return false;
    }
    Packet::chan_name request{};
    request.cmd = commandByte(Command::GET_CHANNEL_NAME);
    request.channel = static_cast<uint8_t>(channel);
    Packet reply;
    if (!exchange(request, reply, 2, 64)) {
        return false;
    }
    reply.raw[63] = 0;
    if (name != nullptr) {
        const auto* text = reinterpret_cast<const char*>(reply.data() + 2);
        name->assign(text, std::strlen(text));
    }
    return true;
}

bool TarnInterface::setButtonConfig(const CanMsgConfig& buttons) {
    Packet reply;
    return exchange(
        Packet::button_cfg{.cmd = commandByte(Command::SET_BUTTON_CONFIG), .buttons = buttons},
        reply, 9, 1);
}

bool TarnInterface::getButtonConfig(CanMsgConfig* buttons) {
    Packet reply;
    if (!exchange(Packet::button_cfg{.cmd = commandByte(Command::GET_BUTTON_CONFIG), .buttons{}},
                  reply, 1, 9)) {
        return false;
    }
    if (buttons != nullptr) {
        *buttons = reply.as<Packet::button_cfg>().buttons;
    }
    return true;
}

bool TarnInterface::setMode(uint8_t mode) {
    Packet reply;
    return exchange(Packet::mode{.cmd = commandByte(Command::SET_MODE), .mode = mode}, reply, 2, 1);
}

bool TarnInterface::getMode(uint8_t* mode) {
    Packet reply;
    if (!exchange(Packet::mode{.cmd = commandByte(Command::GET_MODE), .mode = 0}, reply, 1, 2)) {
        return false;
    }
    if (mode != nullptr) {
        *mode = reply.as<Packet::mode>().mode;
    }
    return true;
}

bool TarnInterface::getScriptStatus(ScriptType* script) {
    Packet reply;
    if (!exchange(Packet::script{.cmd = commandByte(Command::GET_SCRIPT_STATUS), .type = 0}, reply,
                  1, 2)) {
        return false;
    }
    if (script != nullptr) {
        *script = static_cast<ScriptType>(reply.as<Packet::script>().type);
    }
    return true;
}

bool TarnInterface::executeScript(ScriptType script) {
    Packet reply;
    return exchange(Packet::script{.cmd = commandByte(Command::EXECUTE_SCRIPT), .type = script},
                    reply, 2, 1);
}

bool TarnInterface::setSerialNumber(uint32_t serial) {
    Packet::serial_number request{};
    request.cmd = commandByte(Command::SET_SERIAL_NUMBER);
    request.serial.set(serial);
    Packet reply;
    if (!exchange(request, reply, 8, 2)) {
        return false;
    }
    return reply.as<Packet::serial_number>().result != 0;
}

bool TarnInterface::factoryReset() {
    Packet reply;
    return exchange(Packet::factory_cal{.cmd = commandByte(Command::FACTORY_RESET), .reserved{}},
                    reply, 1, 1, kFactoryResetTimeout);
}

bool TarnInterface::setIPSettings(uint32_t ipAddress, uint32_t subnet, uint32_t gateway,
                                  uint32_t dns1, uint32_t dns2, uint32_t lcmAddress,
                                  uint16_t lcmPort, bool dhcp) {
    Packet::ip_settings request{};
    request.cmd = commandByte(Command::SET_IP_SETTINGS);
    request.dhcp = dhcp ? 1 : 0;
    request.lcmPort.set(lcmPort);
    request.ipAddress.set(ipAddress);
    request.subnet.set(subnet);
    request.gateway.set(gateway);
    request.dns1.set(dns1);
    request.dns2.set(dns2);
    request.lcmAddress.set(lcmAddress);
    Packet reply;
    return exchange(request, reply, 28, 1);
}

bool TarnInterface::getIPSettings(uint32_t* ipAddress, uint32_t* subnet, uint32_t* gateway,
                                  uint32_t* dns1, uint32_t* dns2, uint32_t* lcmAddress,
                                  uint16_t* lcmPort, bool* dhcp) {
    Packet::ip_settings request{};
    request.cmd = commandByte(Command::GET_IP_SETTINGS);
    Packet reply;
    if (!exchange(request, reply, 1, 28)) {
        return false;
    }
    const auto ip = reply.as<Packet::ip_settings>();
    const auto store = [](auto* out, auto value) {
        if (out != nullptr) {
            *out = value;
        }
    };
    store(ipAddress, ip.ipAddress.value());
    store(subnet, ip.subnet.value());
    store(gateway, ip.gateway.value());
    store(dns1, ip.dns1.value());
    store(dns2, ip.dns2.value());
    store(lcmAddress, ip.lcmAddress.value());
    store(lcmPort, ip.lcmPort.value());
    store(dhcp, ip.dhcp != 0);
    return true;
}

bool TarnInterface::setChannelGroups(uint16_t groups) {
    Packet::chan_groups request{};
    request.cmd = commandByte(Command::SET_CHANNEL_GROUPS);
    request.groups.set(groups);
    Packet reply;
    return exchange(request, reply, 3, 1);
}

bool TarnInterface::getChannelGroups(uint16_t* groups) {
    Packet reply;
    if (!exchange(Packet::chan_groups{.cmd = commandByte(Command::GET_CHANNEL_GROUPS), .groups{}},
                  reply, 1, 3)) {
        return false;
    }
    if (groups != nullptr) {
        *groups = reply.as<Packet::chan_groups>().groups.value();
    }
    return true;
}

bool TarnInterface::setId(uint8_t id) {
    Packet reply;
    return exchange(Packet::id{.cmd = commandByte(Command::SET_ID), .id = id}, reply, 2, 1);
}

bool TarnInterface::getId(uint8_t* id) {
    Packet reply;
    if (!exchange(Packet::id{.cmd = commandByte(Command::GET_ID), .id = 0}, reply, 1, 2)) {
        return false;
    }
    if (id != nullptr) {
        *id = reply.as<Packet::id>().id;
    }
    return true;
}

bool TarnInterface::setPassword(uint32_t pass) {
    Packet::mode_password request{};
    request.cmd = commandByte(Command::SET_MODE_PASSWORD);
    request.pass.set(pass);
    Packet reply;
    return exchange(request, reply, 8, 1);
}

bool TarnInterface::getPassword(uint32_t* pass) {
    Packet::mode_password request{};
    request.cmd = commandByte(Command::GET_MODE_PASSWORD);
    Packet reply;
    if (!exchange(request, reply, 1, 8)) {
        return false;
    }
    if (pass != nullptr) {
        *pass = reply.as<Packet::mode_password>().pass.value();
    }
    return true;
}

bool TarnInterface::setBluetoothEnabled(bool enabled) {
    Packet reply;
    return exchange(Packet::bt_use{.cmd = commandByte(Command::SET_BT_USE),
                                   .enabled = static_cast<uint8_t>(enabled ? 1 : 0)},
                    reply, 2, 1);
}

bool TarnInterface::getBluetoothEnabled(bool* enabled) {
    Packet reply;
    if (!exchange(Packet::bt_use{.cmd = commandByte(Command::GET_BT_USE), .enabled = 0}, reply, 1,
                  2)) {
        return false;
    }
    if (enabled != nullptr) {
        *enabled = reply.as<Packet::bt_use>().enabled != 0;
    }
    return true;
}

// ---- Telemetry stream and relay requests --------------------------------------------------

bool TarnInterface::sendDataStreamEnable() {
    DataStreamPacket packet{};
    packet.packet_word.set(kStreamEnableWord);
    return writeStream(packet.bytes(), 2);
}

bool TarnInterface::sendDataStreamDisable() {
    DataStreamPacket packet{};
    packet.packet_word.set(kStreamDisableWord);
    return writeStream(packet.bytes(), 2);
}

bool TarnInterface::sendRelayRequest(uint32_t channel, RelayAction action) {
    DataStreamPacket packet{};
    packet.packet_word.set(kRelayRequestWord);
    packet.setBody(CanMsgRequest{.channel = static_cast<uint8_t>(channel), .action = action});
    return writeStream(packet.bytes(), 2 + static_cast<int32_t>(sizeof(CanMsgRequest)));
}

bool TarnInterface::sendRelayRequestOn(uint32_t channel) {
    return sendRelayRequest(channel, RELAY_ACTION_ON);
}

bool TarnInterface::sendRelayRequestOff(uint32_t channel) {
    return sendRelayRequest(channel, RELAY_ACTION_OFF);
}

bool TarnInterface::sendRelayRequestToggle(uint32_t channel) {
    return sendRelayRequest(channel, RELAY_ACTION_TOGGLE);
}

bool TarnInterface::readDataStream(DataStreamFeedback& fb_data) {
    constexpr int32_t kPacket = 64;
    std::array<uint8_t, kPacket> buffer; // only the received bytes are looked at
    const int32_t n = readStream(buffer.data(), kPacket);
    if (n < 2) {
        return false;
    }
    const auto received = static_cast<std::size_t>(std::min(n, kPacket));
    return TelemetryDecoder::decode({buffer.data(), received}, fb_data);
}

// ---- Scripts ------------------------------------------------------------------------------

bool TarnInterface::getScript(std::string& str, uint32_t script) {
    constexpr std::size_t kHeader = Packet::script_data::kHeader;
    str.clear();
    str.reserve(8192);
    for (;;) {
        // A unit that never sends the terminator would otherwise be asked forever, with the
        // offset wrapping back over text already gathered.
        if (str.size() > std::numeric_limits<uint16_t>::max()) {
            return false;
        }
        Packet::script_data request{};
        request.cmd = commandByte(Command::READ_SCRIPT_CHUNK);
        request.type = static_cast<uint8_t>(script);
        request.offset.set(static_cast<uint16_t>(str.size()));
        Packet packet = packetOf(request);
        if (!writeCfg(packet.data(), static_cast<int32_t>(kHeader), kCfgTimeout)) {
            return false;
        }
        const int32_t n = readCfg(packet.data(), Packet::kSize, kCfgTimeout);
        if (packet.cmd() != request.cmd) {
            return false;
        }
        if (n < static_cast<int32_t>(kHeader)) {
            return false;
        }
        const auto received = static_cast<std::size_t>(std::min(n, Packet::kSize));
        if (received == kHeader) {
            return true; // no data: the text ends without a terminator
        }
        const auto* data = reinterpret_cast<const char*>(packet.data() + kHeader);
        const std::size_t count = received - kHeader;
        const auto* zero = static_cast<const char*>(std::memchr(data, 0, count));
        if (zero != nullptr) {
            str.append(data, static_cast<std::size_t>(zero - data));
            return true;
        }
        str.append(data, count);
    }
}

bool TarnInterface::setScript(const std::string& str, uint32_t script) {
    constexpr std::size_t kChunk = Packet::script_data::kMaxChunk;
    const std::size_t length = textLength(str);
    const std::size_t total = length + 1; // the terminator is sent as part of the text
    // Past 65,536 bytes the 16-bit offset would wrap and overwrite the start of the script.
    if (total > kMaxScriptBytes) {
        return false;
    }
    const auto type = static_cast<uint8_t>(script);
    for (std::size_t pos = 0; pos < total; pos += kChunk) {
        const std::size_t chunk = std::min(total - pos, kChunk);
        Packet::script_data request{};
        request.cmd = commandByte(Command::WRITE_SCRIPT_CHUNK);
        request.type = type;
        request.offset.set(static_cast<uint16_t>(pos));
        // The terminator is the zero already in the request past the copied characters.
        std::memcpy(request.data.data(), str.data() + pos, std::min(chunk, length - pos));
        Packet reply;
        if (!exchange(request, reply, static_cast<int32_t>(Packet::script_data::kHeader + chunk),
                      1)) {
            return false;
        }
    }
    Packet reply;
    return exchange(Packet::script{.cmd = commandByte(Command::COMMIT_SCRIPT), .type = type}, reply,
                    2, 1);
}

} // namespace tarn
