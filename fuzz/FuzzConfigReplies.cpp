// Every configuration-pipe reply the console parses, from a unit that answers anything: the
// fuzzer picks the command and its arguments, how the request's write ends, and the reply's
// bytes, length and result code.
//
// Properties, besides no crash or undefined behaviour:
// - no read past the reply: the bytes after the reported length are filled with two different
//   poisons in two otherwise identical runs, which must give the same result and outputs;
// - outputs untouched on failure: every output starts as a sentinel and keeps it on false;
// - no failure reported as success: true needs the whole request written, the reply's result
//   code a success and its first byte the command's id.

#include "FuzzUnit.h"
#include "Packets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using fuzz::FuzzInput;
using tarn::TarnUsb;
using Bytes = std::vector<uint8_t>;

// A command's result and the bytes of its outputs, next to the bytes of their sentinels.
struct Outcome {
    bool ok = false;
    Bytes outputs;
    Bytes sentinels;
};

// The vector grows first and the copy is of a known count into the room just made.
void appendBytes(Bytes& out, const void* bytes, std::size_t count) {
    const std::size_t at = out.size();
    out.resize(at + count);
    if (count > 0) {
        std::memcpy(out.data() + at, bytes, count);
    }
}

template <typename T>
void append(Bytes& out, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    appendBytes(out, &value, sizeof(T));
}

void append(Bytes& out, const std::string& s) {
    append(out, static_cast<uint32_t>(s.size()));
    appendBytes(out, s.data(), s.size());
}

template <typename... T>
Bytes image(const T&... values) {
    Bytes out;
    (append(out, values), ...);
    return out;
}

// Sentinels no reply decodes to by accident often enough to hide a write.
constexpr double kSentinelDouble = -12345.678;
constexpr uint32_t kSentinel32 = 0xC0FFEE42u;
constexpr uint16_t kSentinel16 = 0xBEEFu;
constexpr uint8_t kSentinel8 = 0xA5u;
const std::string kSentinelText = "untouched";

tarn::CanMsgConfig sentinelButtons() {
    constexpr uint8_t s = kSentinel8;
    return tarn::CanMsgConfig{s, s, s, s, s, s, s, s};
}

double doubleFrom(FuzzInput& args) {
    const uint64_t bits = uint64_t{args.u32()} | (uint64_t{args.u32()} << 32);
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

template <typename F>
Outcome plain(F&& command) {
    return {command(), {}, {}};
}

using Command = Outcome (*)(TarnUsb&, FuzzInput&);

// The getters, each with its outputs prefilled, then the setters, whose replies are parsed for
// their echo (and, for the serial number, its result byte).
const std::array<Command, 27> kCommands = {
    [](TarnUsb& d, FuzzInput&) {
        const Bytes before = image(d.versionMajor(), d.versionMinor(), d.versionBuild(),
                                   d.serialNumber(), d.hwRev());
        const bool ok = d.readVersion();
        return Outcome{ok,
                       image(d.versionMajor(), d.versionMinor(), d.versionBuild(), d.serialNumber(),
                             d.hwRev()),
                       before};
    },
    [](TarnUsb& d, FuzzInput& a) {
        double current = kSentinelDouble;
        double i2t = kSentinelDouble;
        bool protect = true;
        const bool ok = d.getChannelConfig(a.byte() % 14u, &current, &i2t, &protect);
        return Outcome{ok, image(current, i2t, protect),
                       image(kSentinelDouble, kSentinelDouble, true)};
    },
    [](TarnUsb& d, FuzzInput& a) {
        std::string name = kSentinelText;
        const bool ok = d.getChannelName(a.byte() % 14u, &name);
        return Outcome{ok, image(name), image(kSentinelText)};
    },
    [](TarnUsb& d, FuzzInput&) {
        tarn::CanMsgConfig buttons = sentinelButtons();
        const bool ok = d.getButtonConfig(&buttons);
        return Outcome{ok, image(buttons), image(sentinelButtons())};
    },
    [](TarnUsb& d, FuzzInput&) {
        uint8_t mode = kSentinel8;
        const bool ok = d.getMode(&mode);
        return Outcome{ok, image(mode), image(kSentinel8)};
    },
    [](TarnUsb& d, FuzzInput&) {
        auto script = static_cast<tarn::ScriptType>(kSentinel8);
        const bool ok = d.getScriptStatus(&script);
        return Outcome{ok, image(script), image(static_cast<tarn::ScriptType>(kSentinel8))};
    },
    [](TarnUsb& d, FuzzInput&) {
        std::array<uint32_t, 6> addresses{};
        addresses.fill(kSentinel32);
        uint16_t port = kSentinel16;
        bool dhcp = true;
        const bool ok = d.getIPSettings(&addresses[0], &addresses[1], &addresses[2], &addresses[3],
                                        &addresses[4], &addresses[5], &port, &dhcp);
        std::array<uint32_t, 6> sentinels{};
        sentinels.fill(kSentinel32);
        return Outcome{ok, image(addresses, port, dhcp), image(sentinels, kSentinel16, true)};
    },
    [](TarnUsb& d, FuzzInput&) {
        uint16_t groups = kSentinel16;
        const bool ok = d.getChannelGroups(&groups);
        return Outcome{ok, image(groups), image(kSentinel16)};
    },
    [](TarnUsb& d, FuzzInput&) {
        uint8_t id = kSentinel8;
        const bool ok = d.getId(&id);
        return Outcome{ok, image(id), image(kSentinel8)};
    },
    [](TarnUsb& d, FuzzInput&) {
        uint32_t pass = kSentinel32;
        const bool ok = d.getPassword(&pass);
        return Outcome{ok, image(pass), image(kSentinel32)};
    },
    [](TarnUsb& d, FuzzInput&) {
        bool enabled = true;
        const bool ok = d.getBluetoothEnabled(&enabled);
        return Outcome{ok, image(enabled), image(true)};
    },
    [](TarnUsb& d, FuzzInput& a) {
        const uint8_t channel = a.byte() % 14u;
        const double current = doubleFrom(a);
        const double i2t = doubleFrom(a);
        return plain([&] { return d.setChannelConfig(channel, current, i2t, a.flag()); });
    },
    [](TarnUsb& d, FuzzInput& a) {
        const uint8_t channel = a.byte() % 14u;
        const Bytes name = a.sized(80);
        return plain(
            [&] { return d.setChannelName(channel, std::string(name.begin(), name.end())); });
    },
    [](TarnUsb& d, FuzzInput& a) {
        const Bytes raw = a.take(sizeof(tarn::CanMsgConfig));
        tarn::CanMsgConfig buttons;
        if (!raw.empty()) {
            std::memcpy(&buttons, raw.data(), raw.size());
        }
        return plain([&] { return d.setButtonConfig(buttons); });
    },
    [](TarnUsb& d, FuzzInput& a) { return plain([&] { return d.setMode(a.byte()); }); },
    [](TarnUsb& d, FuzzInput&) { return plain([&] { return d.executeScriptIgnitionOn(); }); },
    [](TarnUsb& d, FuzzInput&) { return plain([&] { return d.executeScriptValetIgnitionOff(); }); },
    [](TarnUsb& d, FuzzInput&) { return plain([&] { return d.executeScriptStop(); }); },
    [](TarnUsb& d, FuzzInput& a) { return plain([&] { return d.setSerialNumber(a.u32()); }); },
    [](TarnUsb& d, FuzzInput&) { return plain([&] { return d.factoryReset(); }); },
    [](TarnUsb& d, FuzzInput& a) {
        std::array<uint32_t, 6> v{};
        for (auto& x : v) {
            x = a.u32();
        }
        const uint16_t port = a.u16();
        const bool dhcp = a.flag();
        return plain(
            [&] { return d.setIPSettings(v[0], v[1], v[2], v[3], v[4], v[5], port, dhcp); });
    },
    [](TarnUsb& d, FuzzInput& a) { return plain([&] { return d.setChannelGroups(a.u16()); }); },
    [](TarnUsb& d, FuzzInput& a) { return plain([&] { return d.setId(a.byte()); }); },
    [](TarnUsb& d, FuzzInput& a) { return plain([&] { return d.setPassword(a.u32()); }); },
    [](TarnUsb& d, FuzzInput& a) { return plain([&] { return d.setBluetoothEnabled(a.flag()); }); },
    [](TarnUsb& d, FuzzInput&) { return plain([&] { return d.setModeValet(); }); },
    [](TarnUsb& d, FuzzInput&) { return plain([&] { return d.executeScriptIgnitionOff(); }); },
};

// How the unit answers: the request's write, then the reply.
struct Script {
    int writeStatus = LIBUSB_SUCCESS;
    bool shortWrite = false;
    int readStatus = LIBUSB_SUCCESS;
    bool echo = false; // replace the reply's first byte by the request's command id
    bool overflow = false;
    Bytes reply; // at most 64 bytes: the reported length
};

Script scriptFrom(FuzzInput& in) {
    Script s;
    const uint8_t control = in.byte();
    s.writeStatus = (control & 0x01u) != 0 ? fuzz::resultCode(in.byte()) : LIBUSB_SUCCESS;
    s.shortWrite = (control & 0x02u) != 0;
    s.readStatus = (control & 0x04u) != 0 ? fuzz::resultCode(in.byte()) : LIBUSB_SUCCESS;
    s.echo = (control & 0x08u) != 0;
    s.overflow = (control & 0x10u) != 0;
    s.reply = in.sized(tarn::ConfigPacket::kSize);
    return s;
}

// What one run saw on the wire besides the command's own outcome.
struct Wire {
    bool wrote = false;
    bool wholeRequest = false;
    uint8_t requestCmd = 0;
    bool replied = false;
};

Outcome runOnce(Command command, const Bytes& args, const Script& s, uint8_t poison, Wire& wire) {
    auto unit = fuzz::attachUnit();
    TarnUsb dev;
    FUZZ_CHECK(dev.open());
    unit->setHandler(fuzz::kCfgOut, [&](const sim::Transfer& t) {
        wire.wrote = true;
        wire.requestCmd = t.buffer.empty() ? uint8_t{0} : t.buffer[0];
        const int length = static_cast<int>(t.buffer.size());
        const int taken = s.shortWrite ? length - 1 : length;
        wire.wholeRequest = s.writeStatus == LIBUSB_SUCCESS && taken == length;
        return sim::Outcome{s.writeStatus, s.writeStatus == LIBUSB_SUCCESS ? taken : 0};
    });
    unit->setHandler(fuzz::kCfgIn, [&](const sim::Transfer& t) {
        wire.replied = true;
        // The whole buffer is written; only the reported count is the reply.
        std::fill(t.buffer.begin(), t.buffer.end(), poison);
        std::copy_n(s.reply.begin(), std::min(s.reply.size(), t.buffer.size()), t.buffer.begin());
        if (s.echo && !t.buffer.empty()) {
            t.buffer[0] = wire.requestCmd;
        }
        if (s.overflow) {
            return sim::Outcome{LIBUSB_ERROR_OVERFLOW, static_cast<int>(t.buffer.size())};
        }
        return sim::Outcome{s.readStatus, static_cast<int>(s.reply.size())};
    });
    FuzzInput in(args.data(), args.size());
    return command(dev, in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    while (!in.empty()) {
        const Command command = kCommands[in.below(kCommands.size())];
        const Bytes args = in.sized(48);
        const Script script = scriptFrom(in);

        Wire wire;
        const Outcome a = runOnce(command, args, script, 0x00, wire);
        Wire other;
        const Outcome b = runOnce(command, args, script, 0xFF, other);

        FUZZ_CHECK(a.ok == b.ok && a.outputs == b.outputs);
        if (!a.ok) {
            FUZZ_CHECK(a.outputs == a.sentinels);
            continue;
        }
        FUZZ_CHECK(wire.wrote && wire.wholeRequest && wire.replied);
        FUZZ_CHECK(script.readStatus == LIBUSB_SUCCESS && !script.overflow);
        const uint8_t first =
            script.echo ? wire.requestCmd : (script.reply.empty() ? uint8_t{0} : script.reply[0]);
        FUZZ_CHECK(!script.reply.empty() && first == wire.requestCmd);
    }
    return 0;
}
