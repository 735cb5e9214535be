#pragma once

// The records that cross the unit's two pipes, byte by byte, and the small value tables the
// protocol and the window share. Every record here is made of bytes only (alignment 1, no
// padding), so its object representation is exactly its wire image; multi-byte fields are
// little-endian byte arrays read and written through value()/set(), never through casts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace tarn {

// A little-endian integer field of a wire record.
template <typename T>
struct Le {
    static_assert(std::is_integral_v<T>);
    using Unsigned = std::make_unsigned_t<T>;

    std::array<uint8_t, sizeof(T)> bytes{};

    constexpr T value() const {
        Unsigned v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;) {
            v = static_cast<Unsigned>((v << 8) | bytes[i]);
        }
        return static_cast<T>(v); // modular for the signed fields, as on the wire
    }
    constexpr void set(T v) {
        auto u = static_cast<Unsigned>(v);
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bytes[i] = static_cast<uint8_t>(u & 0xFFu);
            u = static_cast<Unsigned>(u >> 8);
        }
    }
};

using LeUint16 = Le<uint16_t>;
using LeInt16 = Le<int16_t>;
using LeUint32 = Le<uint32_t>;
using LeInt32 = Le<int32_t>;

static_assert(sizeof(LeUint16) == 2 && alignof(LeUint16) == 1);
static_assert(sizeof(LeInt32) == 4 && alignof(LeInt32) == 1);

// Reads a record of layout L from the start of `bytes` (which holds at least sizeof(L)).
template <typename L>
L recordFrom(const uint8_t* bytes) {
    static_assert(std::is_trivially_copyable_v<L> && alignof(L) == 1);
    L record;
    std::memcpy(&record, bytes, sizeof(L));
    return record;
}

// ---- Value tables -------------------------------------------------------------------------

// Command ids of the configuration pipe. Network settings are set with 0x29 and read with 0x30.
enum class Command : uint8_t {
    READ_VERSION = 0x00,
    SET_SERIAL_NUMBER = 0x08,
    FACTORY_RESET = 0x0F,
    SET_CHANNEL_CONFIG = 0x10,
    GET_CHANNEL_CONFIG = 0x11,
    SET_CHANNEL_NAME = 0x12,
    GET_CHANNEL_NAME = 0x13,
    EXECUTE_SCRIPT = 0x20,
    GET_SCRIPT_STATUS = 0x21,
    SET_MODE = 0x22,
    GET_MODE = 0x23,
    SET_BUTTON_CONFIG = 0x24,
    GET_BUTTON_CONFIG = 0x25,
    WRITE_SCRIPT_CHUNK = 0x26,
    READ_SCRIPT_CHUNK = 0x27,
    COMMIT_SCRIPT = 0x28,
    SET_IP_SETTINGS = 0x29,
    GET_IP_SETTINGS = 0x30,
    SET_CHANNEL_GROUPS = 0x31,
    GET_CHANNEL_GROUPS = 0x32,
    SET_ID = 0x33,
    GET_ID = 0x34,
    SET_MODE_PASSWORD = 0x35,
    GET_MODE_PASSWORD = 0x36,
    SET_BT_USE = 0x37,
    GET_BT_USE = 0x38,
};

constexpr uint8_t commandByte(Command c) {
    return static_cast<uint8_t>(c);
}

// The four scripts the unit stores, and none.
enum ScriptType : uint8_t {
    SCRIPT_NONE = 0,
    SCRIPT_IGNITION_ON = 1,
    SCRIPT_IGNITION_OFF = 2,
    SCRIPT_VALET_IGNITION_ON = 3,
    SCRIPT_VALET_IGNITION_OFF = 4,
};

enum Mode : uint8_t {
    MODE_AUTO = 0,
    MODE_MANUAL = 1,
    MODE_VALET = 2,
};
inline constexpr std::array<std::string_view, 3> kModeNames{"AUTO", "MANUAL", "VALET"};

enum UnitId : uint8_t {
    UNIT_MASTER = 0,
    UNIT_SLAVE_1 = 1,
    UNIT_SLAVE_2 = 2,
    UNIT_SLAVE_3 = 3,
};
inline constexpr std::array<std::string_view, 4> kUnitIdNames{"Master", "Slave 1", "Slave 2",
                                                              "Slave 3"};

// Bits 4-7 of a channel's status byte.
enum RelayState : uint8_t {
    RELAY_OFF = 0,
    RELAY_ON = 1,
    RELAY_NO_LOAD = 2,
    RELAY_BAD_RELAY = 3,
    RELAY_BAD_FUSE = 4,
    RELAY_OVER_CURRENT = 5,
};

// The text shown for a relay state code; codes 6 to 15 (and anything larger) are "UNKNOWN".
constexpr std::string_view relayStateText(unsigned code) {
    constexpr std::array<std::string_view, 6> texts{"OFF",       "ON",       "NO LOAD",
                                                    "BAD RELAY", "BAD FUSE", "OVER CURRENT"};
    return code < texts.size() ? texts[code] : std::string_view{"UNKNOWN"};
}

enum RelayAction : uint8_t {
    RELAY_ACTION_OFF = 0,
    RELAY_ACTION_ON = 1,
    RELAY_ACTION_TOGGLE = 2,
};

// Packet words of host-to-unit stream packets.
inline constexpr uint16_t kStreamEnableWord = 0x8000;
inline constexpr uint16_t kStreamDisableWord = 0x4000;
inline constexpr uint16_t kRelayRequestWord = 0x0001;

// Telemetry block mask bits.
inline constexpr uint16_t kPowerBlockBit = 0x0001;
inline constexpr uint16_t kStatusBlockBit = 0x0002;
inline constexpr uint16_t kTemperatureBlockBit = 0x0004;

// ---- Switch board and relay requests ------------------------------------------------------

// Which switch-board button (0-26) triggers each function; 27 or more means none.
struct CanMsgConfig {
    static constexpr uint8_t kButtons = 27;
    static constexpr uint8_t kNoButton = 255;

    uint8_t mode_select = kNoButton;
    uint8_t startup = kNoButton;
    uint8_t shutdown = kNoButton;
    uint8_t mode_auto = kNoButton;
    uint8_t mode_manual = kNoButton;
    uint8_t mode_valet = kNoButton;
    uint8_t inverter_master = kNoButton;
    uint8_t inverter_slave = kNoButton;

    static constexpr bool hasButton(uint8_t value) { return value < kButtons; }
};
static_assert(sizeof(CanMsgConfig) == 8);
static_assert(offsetof(CanMsgConfig, inverter_slave) == 7);

struct CanMsgRequest {
    uint8_t channel = 0; // 0-11 relay channels, 12 the inverter output
    uint8_t action = RELAY_ACTION_OFF;
};
static_assert(sizeof(CanMsgRequest) == 2);

// ---- Telemetry blocks (unit to host) ------------------------------------------------------

struct Power {
    LeUint16 aux1{};
    LeUint16 aux2{};
    LeUint16 battery{};
    std::array<LeUint16, 3> ignition{};
    LeInt32 total_current{};
    std::array<LeInt16, 12> current{};
};
static_assert(sizeof(Power) == 40);
static_assert(offsetof(Power, battery) == 4);
static_assert(offsetof(Power, ignition) == 6);
static_assert(offsetof(Power, total_current) == 12);
static_assert(offsetof(Power, current) == 16);

struct Status {
    uint8_t mode{};
    uint8_t aux_state{};
    std::array<uint8_t, 12> channel{};
    uint8_t inverter{};
    uint8_t bluetooth{};
    uint8_t aux_bits{};
};
static_assert(sizeof(Status) == 17);
static_assert(offsetof(Status, channel) == 2);
static_assert(offsetof(Status, inverter) == 14);
static_assert(offsetof(Status, bluetooth) == 15);
static_assert(offsetof(Status, aux_bits) == 16);

struct Temperature {
    std::array<LeUint16, 3> internal{};
    std::array<LeInt16, 4> external{};
};
static_assert(sizeof(Temperature) == 14);
static_assert(offsetof(Temperature, external) == 6);

// Host-to-unit packet on the stream pipe: a packet word and a 40-byte body holding one of
// Power, Status, Temperature or CanMsgRequest (only the relay request is ever sent).
struct DataStreamPacket {
    LeUint16 packet_word{};
    std::array<uint8_t, 40> body{};

    const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }

    template <typename L>
    void setBody(const L& record) {
        static_assert(sizeof(L) <= sizeof(body) && std::is_trivially_copyable_v<L>);
        std::memcpy(body.data(), &record, sizeof(L));
    }
};
static_assert(sizeof(DataStreamPacket) == 42);
static_assert(offsetof(DataStreamPacket, body) == 2);

// Bytes a host-to-unit stream packet sends: its packet word alone, or the word and one record.
inline constexpr std::size_t kStreamWordBytes = offsetof(DataStreamPacket, body);
template <typename L>
inline constexpr std::size_t kStreamPacketBytes = kStreamWordBytes + sizeof(L);

// A unit-to-host telemetry packet: a block mask, then the blocks it names, at most 64 bytes.
inline constexpr std::size_t kTelemetryMaskBytes = sizeof(LeUint16);
inline constexpr std::size_t kTelemetryPacketBytes = 64;

// ---- Configuration pipe -------------------------------------------------------------------

// One 64-byte request or reply on the configuration pipe. The nested structs are its layouts,
// each starting with the command id; a request is built as a layout and copied in with put(),
// a reply is read back as a layout with as<>(). Bytes not written stay 0.
struct ConfigPacket {
    static constexpr int kSize = 64;

    struct version {
        uint8_t cmd{};
        uint8_t hw_rev{};
        LeUint16 extra{};
        LeUint16 major{};
        LeUint16 minor{};
        LeUint16 build{};
        std::array<uint8_t, 6> reserved{};
        LeUint32 serial{};
    };
    struct serial_number {
        uint8_t cmd{};
        uint8_t result{};
        std::array<uint8_t, 2> reserved{};
        LeUint32 serial{};
    };
    struct factory_cal {
        uint8_t cmd{};
        std::array<uint8_t, 3> reserved{};
    };
    struct chan_config {
        static constexpr uint8_t kProtectFuse = 0x01; // flags bit 0
        uint8_t cmd{};
        uint8_t channel{};
        uint8_t flags{};
        uint8_t reserved{};
        struct {
            LeInt32 current{}; // milliamperes
            LeInt32 i2t{};     // steps of kI2tStep A²s
        } fuse{};
    };
    struct chan_name {
        static constexpr std::size_t kMaxName = 61; // the field keeps room for the terminator
        uint8_t cmd{};
        uint8_t channel{};
        std::array<uint8_t, kMaxName + 1> name{};
    };
    struct script {
        uint8_t cmd{};
        uint8_t type{};
    };
    struct mode {
        uint8_t cmd{};
        uint8_t mode{};
    };
    struct button_cfg {
        uint8_t cmd{};
        CanMsgConfig buttons{};
    };
    struct script_data {
        static constexpr std::size_t kMaxChunk = 60;
        uint8_t cmd{};
        uint8_t type{};
        LeUint16 offset{};
        std::array<uint8_t, kMaxChunk> data{};
    };
    struct ip_settings {
        uint8_t cmd{};
        uint8_t dhcp{};
        LeUint16 lcmPort{};
        LeUint32 ipAddress{};
        LeUint32 subnet{};
        LeUint32 gateway{};
        LeUint32 dns1{};
        LeUint32 dns2{};
        LeUint32 lcmAddress{};
    };
    struct chan_groups {
        uint8_t cmd{};
        LeUint16 groups{};
    };
    struct id {
        uint8_t cmd{};
        uint8_t id{};
    };
    struct mode_password {
        static constexpr uint32_t kNoPin = 0xFFFFFFFFu;
        uint8_t cmd{};
        std::array<uint8_t, 3> reserved{};
        LeUint32 pass{};
    };
    struct bt_use {
        uint8_t cmd{};
        uint8_t enabled{};
    };
    struct int_fans {
        uint8_t cmd{};
        std::array<uint8_t, 2> reserved{};
    };

    std::array<uint8_t, kSize> raw{};

    uint8_t* data() { return raw.data(); }
    const uint8_t* data() const { return raw.data(); }
    uint8_t cmd() const { return raw[0]; }

    template <typename L>
    L as() const {
        static_assert(sizeof(L) <= kSize);
        return recordFrom<L>(raw.data());
    }
    template <typename L>
    void put(const L& record) {
        static_assert(sizeof(L) <= kSize && std::is_trivially_copyable_v<L>);
        std::memcpy(raw.data(), &record, sizeof(L));
    }
};
static_assert(sizeof(ConfigPacket) == 64);

static_assert(sizeof(ConfigPacket::version) == 20);
static_assert(offsetof(ConfigPacket::version, extra) == 2);
static_assert(offsetof(ConfigPacket::version, major) == 4);
static_assert(offsetof(ConfigPacket::version, minor) == 6);
static_assert(offsetof(ConfigPacket::version, build) == 8);
static_assert(offsetof(ConfigPacket::version, serial) == 16);
static_assert(sizeof(ConfigPacket::serial_number) == 8);
static_assert(offsetof(ConfigPacket::serial_number, serial) == 4);
static_assert(sizeof(ConfigPacket::factory_cal) == 4);
static_assert(sizeof(ConfigPacket::chan_config) == 12);
static_assert(offsetof(ConfigPacket::chan_config, flags) == 2);
static_assert(offsetof(ConfigPacket::chan_config, fuse) == 4);
static_assert(sizeof(ConfigPacket::chan_name) == 64);
static_assert(offsetof(ConfigPacket::chan_name, name) == 2);
static_assert(sizeof(ConfigPacket::script) == 2);
static_assert(sizeof(ConfigPacket::mode) == 2);
static_assert(sizeof(ConfigPacket::button_cfg) == 9);
static_assert(offsetof(ConfigPacket::button_cfg, buttons) == 1);
static_assert(sizeof(ConfigPacket::script_data) == 64);
static_assert(offsetof(ConfigPacket::script_data, offset) == 2);
static_assert(offsetof(ConfigPacket::script_data, data) == 4);
static_assert(sizeof(ConfigPacket::ip_settings) == 28);
static_assert(offsetof(ConfigPacket::ip_settings, lcmPort) == 2);
static_assert(offsetof(ConfigPacket::ip_settings, ipAddress) == 4);
static_assert(offsetof(ConfigPacket::ip_settings, subnet) == 8);
static_assert(offsetof(ConfigPacket::ip_settings, gateway) == 12);
static_assert(offsetof(ConfigPacket::ip_settings, dns1) == 16);
static_assert(offsetof(ConfigPacket::ip_settings, dns2) == 20);
static_assert(offsetof(ConfigPacket::ip_settings, lcmAddress) == 24);
static_assert(sizeof(ConfigPacket::chan_groups) == 3);
static_assert(offsetof(ConfigPacket::chan_groups, groups) == 1);
static_assert(sizeof(ConfigPacket::id) == 2);
static_assert(sizeof(ConfigPacket::mode_password) == 8);
static_assert(offsetof(ConfigPacket::mode_password, pass) == 4);
static_assert(sizeof(ConfigPacket::bt_use) == 2);
static_assert(sizeof(ConfigPacket::int_fans) == 3);

// ---- Exchange lengths ---------------------------------------------------------------------

// What one configuration command sends and the fewest reply bytes it accepts.
struct ExchangeLengths {
    std::size_t request;
    std::size_t minReply;
};

namespace lengths {

// The command id alone, byte 0 of every layout: what a get without arguments sends and what a
// set wants echoed.
inline constexpr std::size_t kIdOnly = sizeof(ConfigPacket::factory_cal::cmd);

// A set sends its whole layout; a get sends the id alone and wants the whole layout back.
template <typename L>
inline constexpr ExchangeLengths kSet{sizeof(L), kIdOnly};
template <typename L>
inline constexpr ExchangeLengths kGet{kIdOnly, sizeof(L)};

} // namespace lengths

// Every command's lengths, taken from its layout so that a record and the bytes sent for it
// cannot disagree. A request or reply that stops short of a layout ends before the first
// field it leaves out. A script chunk write sends the chunk after the header given here.
constexpr ExchangeLengths exchangeLengths(Command command) {
    using P = ConfigPacket;
    using lengths::kGet;
    using lengths::kIdOnly;
    using lengths::kSet;
    switch (command) {
    case Command::READ_VERSION:
        return kGet<P::version>;
    case Command::SET_SERIAL_NUMBER: // the reply carries the unit's verdict
        return {sizeof(P::serial_number), offsetof(P::serial_number, reserved)};
    case Command::FACTORY_RESET:
        return {kIdOnly, kIdOnly};
    case Command::SET_CHANNEL_CONFIG:
        return kSet<P::chan_config>;
    case Command::GET_CHANNEL_CONFIG:
        return {offsetof(P::chan_config, flags), sizeof(P::chan_config)};
    case Command::SET_CHANNEL_NAME:
        return kSet<P::chan_name>;
    case Command::GET_CHANNEL_NAME:
        return {offsetof(P::chan_name, name), sizeof(P::chan_name)};
    case Command::EXECUTE_SCRIPT:
    case Command::COMMIT_SCRIPT:
        return kSet<P::script>;
    case Command::GET_SCRIPT_STATUS:
        return kGet<P::script>;
    case Command::SET_MODE:
        return kSet<P::mode>;
    case Command::GET_MODE:
        return kGet<P::mode>;
    case Command::SET_BUTTON_CONFIG:
        return kSet<P::button_cfg>;
    case Command::GET_BUTTON_CONFIG:
        return kGet<P::button_cfg>;
    case Command::WRITE_SCRIPT_CHUNK:
        return {offsetof(P::script_data, data), kIdOnly};
    case Command::READ_SCRIPT_CHUNK: // a reply of the header alone carries no text
        return {offsetof(P::script_data, data), offsetof(P::script_data, data)};
    case Command::SET_IP_SETTINGS:
        return kSet<P::ip_settings>;
    case Command::GET_IP_SETTINGS:
        return kGet<P::ip_settings>;
    case Command::SET_CHANNEL_GROUPS:
        return kSet<P::chan_groups>;
    case Command::GET_CHANNEL_GROUPS:
        return kGet<P::chan_groups>;
    case Command::SET_ID:
        return kSet<P::id>;
    case Command::GET_ID:
        return kGet<P::id>;
    case Command::SET_MODE_PASSWORD:
        return kSet<P::mode_password>;
    case Command::GET_MODE_PASSWORD:
        return kGet<P::mode_password>;
    case Command::SET_BT_USE:
        return kSet<P::bt_use>;
    case Command::GET_BT_USE:
        return kGet<P::bt_use>;
    }
    return {0, 0}; // not a command of the unit: nothing to send
}

// A name set is the one request that fills the whole packet.
static_assert(exchangeLengths(Command::SET_CHANNEL_NAME).request == sizeof(ConfigPacket));
static_assert(exchangeLengths(Command::GET_CHANNEL_NAME).minReply == sizeof(ConfigPacket));

// One step of the fuse I²t field, in A²s (exactly 128/162759375).
inline constexpr double kI2tStep = 7.864370331970124e-07;
// One step of the fuse current field, in A.
inline constexpr double kCurrentStep = 0.001;

} // namespace tarn
