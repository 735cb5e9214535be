#include "TarnInterface.h"

#include "TelemetryDecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

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

// A wire length as the pipes count it; every length here is at most one packet.
int32_t pipeCount(std::size_t bytes) {
    return static_cast<int32_t>(bytes);
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

std::optional<std::size_t> TarnInterface::exchange(ConfigPacket& packet, ExchangeLengths lengths,
                                                   int32_t timeout) {
    const uint8_t sent = packet.cmd();
    if (!writeCfg(packet.data(), pipeCount(lengths.request), timeout)) {
        return std::nullopt;
    }
    const int32_t n = readCfg(packet.data(), ConfigPacket::kSize, timeout);
    // A failed read (-1) is shorter than any minimum.
    if (n < pipeCount(lengths.minReply) || packet.cmd() != sent) {
        return std::nullopt;
    }
    return std::min(static_cast<std::size_t>(n), sizeof(ConfigPacket));
}

template <Command C, typename L>
bool TarnInterface::exchange(L request, ConfigPacket& reply, int32_t timeout) {
    constexpr ExchangeLengths kLengths = exchangeLengths(C);
    static_assert(kLengths.request > 0 && kLengths.request <= sizeof(L),
                  "a request is sent from its own record and never reaches past it");
    request.cmd = commandByte(C);
    reply = packetOf(request);
    return exchange(reply, kLengths, timeout).has_value();
}

// ---- Identity -----------------------------------------------------------------------------

bool TarnInterface::readVersion() {
    Packet reply;
    if (!exchange<Command::READ_VERSION>(Packet::version{}, reply)) {
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
    request.channel = static_cast<uint8_t>(channel);
    request.flags = protect_fuse ? Packet::chan_config::kProtectFuse : uint8_t{0};
    request.fuse.current.set(*current);
    request.fuse.i2t.set(*i2t);
    Packet reply;
    return exchange<Command::SET_CHANNEL_CONFIG>(request, reply);
}

bool TarnInterface::getChannelConfig(uint32_t channel, double* fuse_current, double* fuse_i2t,
                                     bool* protect_fuse) {
    if (channel >= kRelayChannels) {
        return false;
    }
    Packet::chan_config request{};
    request.channel = static_cast<uint8_t>(channel);
    Packet reply;
    if (!exchange<Command::GET_CHANNEL_CONFIG>(request, reply)) {
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
    request.channel = static_cast<uint8_t>(channel);
    // Longer names are cut so that the terminator always fits the field.
    const std::size_t length = std::min(textLength(name), Packet::chan_name::kMaxName);
    std::memcpy(request.name.data(), name.data(), length);
    Packet reply;
    return exchange<Command::SET_CHANNEL_NAME>(request, reply);
}

bool TarnInterface::getChannelName(uint32_t channel, std::string* name) {
    if (channel > kInverterChannel) {
        return false;
    }
    Packet::chan_name request{};
    request.channel = static_cast<uint8_t>(channel);
    Packet reply;
    if (!exchange<Command::GET_CHANNEL_NAME>(request, reply)) {
        return false;
    }
    auto named = reply.as<Packet::chan_name>();
    named.name.back() = 0; // the text ends within the field, whatever the unit sent
    if (name != nullptr) {
        name->assign(named.name.begin(), std::ranges::find(named.name, uint8_t{0}));
    }
    return true;
}

bool TarnInterface::setButtonConfig(const CanMsgConfig& buttons) {
    Packet reply;
    return exchange<Command::SET_BUTTON_CONFIG>(Packet::button_cfg{.buttons = buttons}, reply);
}

bool TarnInterface::getButtonConfig(CanMsgConfig* buttons) {
    Packet reply;
    if (!exchange<Command::GET_BUTTON_CONFIG>(Packet::button_cfg{}, reply)) {
        return false;
    }
    if (buttons != nullptr) {
        *buttons = reply.as<Packet::button_cfg>().buttons;
    }
    return true;
}

bool TarnInterface::setMode(uint8_t mode) {
    Packet reply;
    return exchange<Command::SET_MODE>(Packet::mode{.mode = mode}, reply);
}

bool TarnInterface::getMode(uint8_t* mode) {
    Packet reply;
    if (!exchange<Command::GET_MODE>(Packet::mode{}, reply)) {
        return false;
    }
    if (mode != nullptr) {
        *mode = reply.as<Packet::mode>().mode;
    }
    return true;
}

bool TarnInterface::getScriptStatus(ScriptType* script) {
    Packet reply;
    if (!exchange<Command::GET_SCRIPT_STATUS>(Packet::script{}, reply)) {
        return false;
    }
    if (script != nullptr) {
        *script = static_cast<ScriptType>(reply.as<Packet::script>().type);
    }
    return true;
}

bool TarnInterface::executeScript(ScriptType script) {
    Packet reply;
    return exchange<Command::EXECUTE_SCRIPT>(Packet::script{.type = script}, reply);
}

bool TarnInterface::setSerialNumber(uint32_t serial) {
    Packet::serial_number request{};
    request.serial.set(serial);
    Packet reply;
    if (!exchange<Command::SET_SERIAL_NUMBER>(request, reply)) {
        return false;
    }
    return reply.as<Packet::serial_number>().result != 0;
}

bool TarnInterface::factoryReset() {
    Packet reply;
    return exchange<Command::FACTORY_RESET>(Packet::factory_cal{}, reply, kFactoryResetTimeout);
}

bool TarnInterface::setIPSettings(uint32_t ipAddress, uint32_t subnet, uint32_t gateway,
                                  uint32_t dns1, uint32_t dns2, uint32_t lcmAddress,
                                  uint16_t lcmPort, bool dhcp) {
    Packet::ip_settings request{};
    request.dhcp = dhcp ? 1 : 0;
    request.lcmPort.set(lcmPort);
    request.ipAddress.set(ipAddress);
    request.subnet.set(subnet);
    request.gateway.set(gateway);
    request.dns1.set(dns1);
    request.dns2.set(dns2);
    request.lcmAddress.set(lcmAddress);
    Packet reply;
    return exchange<Command::SET_IP_SETTINGS>(request, reply);
}

bool TarnInterface::getIPSettings(uint32_t* ipAddress, uint32_t* subnet, uint32_t* gateway,
                                  uint32_t* dns1, uint32_t* dns2, uint32_t* lcmAddress,
                                  uint16_t* lcmPort, bool* dhcp) {
    Packet::ip_settings request{};
    Packet reply;
    if (!exchange<Command::GET_IP_SETTINGS>(request, reply)) {
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
    request.groups.set(groups);
    Packet reply;
    return exchange<Command::SET_CHANNEL_GROUPS>(request, reply);
}

bool TarnInterface::getChannelGroups(uint16_t* groups) {
    Packet reply;
    if (!exchange<Command::GET_CHANNEL_GROUPS>(Packet::chan_groups{}, reply)) {
        return false;
    }
    if (groups != nullptr) {
        *groups = reply.as<Packet::chan_groups>().groups.value();
    }
    return true;
}

bool TarnInterface::setId(uint8_t id) {
    Packet reply;
    return exchange<Command::SET_ID>(Packet::id{.id = id}, reply);
}

bool TarnInterface::getId(uint8_t* id) {
    Packet reply;
    if (!exchange<Command::GET_ID>(Packet::id{}, reply)) {
        return false;
    }
    if (id != nullptr) {
        *id = reply.as<Packet::id>().id;
    }
    return true;
}

bool TarnInterface::setPassword(uint32_t pass) {
    Packet::mode_password request{};
    request.pass.set(pass);
    Packet reply;
    return exchange<Command::SET_MODE_PASSWORD>(request, reply);
}

bool TarnInterface::getPassword(uint32_t* pass) {
    Packet::mode_password request{};
    Packet reply;
    if (!exchange<Command::GET_MODE_PASSWORD>(request, reply)) {
        return false;
    }
    if (pass != nullptr) {
        *pass = reply.as<Packet::mode_password>().pass.value();
    }
    return true;
}

bool TarnInterface::setBluetoothEnabled(bool enabled) {
    Packet reply;
    return exchange<Command::SET_BT_USE>(
        Packet::bt_use{.enabled = static_cast<uint8_t>(enabled ? 1 : 0)}, reply);
}

bool TarnInterface::getBluetoothEnabled(bool* enabled) {
    Packet reply;
    if (!exchange<Command::GET_BT_USE>(Packet::bt_use{}, reply)) {
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
    return writeStream(packet.bytes(), pipeCount(kStreamWordBytes));
}

bool TarnInterface::sendDataStreamDisable() {
    DataStreamPacket packet{};
    packet.packet_word.set(kStreamDisableWord);
    return writeStream(packet.bytes(), pipeCount(kStreamWordBytes));
}

bool TarnInterface::sendRelayRequest(uint32_t channel, RelayAction action) {
    DataStreamPacket packet{};
    packet.packet_word.set(kRelayRequestWord);
    packet.setBody(CanMsgRequest{.channel = static_cast<uint8_t>(channel), .action = action});
    return writeStream(packet.bytes(), pipeCount(kStreamPacketBytes<CanMsgRequest>));
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
    std::array<uint8_t, kTelemetryPacketBytes> buffer; // only the received bytes are looked at
    const int32_t n = readStream(buffer.data(), pipeCount(buffer.size()));
    if (n < pipeCount(kTelemetryMaskBytes)) {
        return false;
    }
    const auto received = std::min(static_cast<std::size_t>(n), buffer.size());
    return TelemetryDecoder::decode({buffer.data(), received}, fb_data);
}

// ---- Scripts ------------------------------------------------------------------------------

bool TarnInterface::getScript(std::string& str, uint32_t script) {
    constexpr std::size_t kHeader = offsetof(Packet::script_data, data);
    constexpr ExchangeLengths kRead = exchangeLengths(Command::READ_SCRIPT_CHUNK);
    static_assert(kRead.minReply == kHeader, "every accepted reply holds the header");
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
        const auto received = exchange(packet, kRead);
        if (!received) {
            return false;
        }
        if (*received == kHeader) {
            return true; // no data: the text ends without a terminator
        }
        // The reply's text is what came after the header, at most the whole data field.
        const auto chunk = packet.as<Packet::script_data>();
        const auto text = std::span(chunk.data).first(*received - kHeader);
        const auto zero = std::ranges::find(text, uint8_t{0});
        str.append(text.begin(), zero);
        if (zero != text.end()) {
            return true;
        }
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
        Packet packet = packetOf(request);
        ExchangeLengths lengths = exchangeLengths(Command::WRITE_SCRIPT_CHUNK);
        lengths.request += chunk;
        if (!exchange(packet, lengths)) {
            return false;
        }
    }
    Packet reply;
    return exchange<Command::COMMIT_SCRIPT>(Packet::script{.type = type}, reply);
}

} // namespace tarn
