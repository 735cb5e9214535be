// The simulated unit's configuration commands: one small handler per command id, found through
// one table that also holds each command's request and reply lengths.

#include "SimUnit.h"

#include "SimWire.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::size_t kChunk = 60;      // script bytes in one chunk
constexpr std::size_t kChunkHeader = 4; // id, type and offset before them
constexpr std::size_t kNameAt = 2;      // where a channel name starts

bool validScript(uint8_t type) {
    return type >= 1 && type <= kScripts;
}

} // namespace

const SimUnit::CommandEntry* SimUnit::findCommand(uint8_t id) {
    // id, shortest request, reply length (for a script chunk read, without its text), handler
    static constexpr std::array<CommandEntry, 26> kCommands{{
        {0x00, 1, 20, &SimUnit::onReadVersion},
        {0x08, 8, 2, &SimUnit::onSetSerialNumber},
        {0x0F, 1, 1, &SimUnit::onFactoryReset},
        {0x10, 12, 1, &SimUnit::onSetChannelConfig},
        {0x11, 2, 12, &SimUnit::onGetChannelConfig},
        {0x12, 64, 1, &SimUnit::onSetChannelName},
        {0x13, 2, 64, &SimUnit::onGetChannelName},
        {0x20, 2, 1, &SimUnit::onExecuteScript},
        {0x21, 1, 2, &SimUnit::onGetScriptStatus},
        {0x22, 2, 1, &SimUnit::onSetMode},
        {0x23, 1, 2, &SimUnit::onGetMode},
        {0x24, 9, 1, &SimUnit::onSetButtons},
        {0x25, 1, 9, &SimUnit::onGetButtons},
        {0x26, kChunkHeader, 1, &SimUnit::onWriteScriptChunk},
        {0x27, kChunkHeader, kChunkHeader, &SimUnit::onReadScriptChunk},
        {0x28, 2, 1, &SimUnit::onCommitScript},
        {0x29, 28, 1, &SimUnit::onSetNetwork},
        {0x30, 1, 28, &SimUnit::onGetNetwork},
        {0x31, 3, 1, &SimUnit::onSetGroups},
        {0x32, 1, 3, &SimUnit::onGetGroups},
        {0x33, 2, 1, &SimUnit::onSetId},
        {0x34, 1, 2, &SimUnit::onGetId},
        {0x35, 8, 1, &SimUnit::onSetPin},
        {0x36, 1, 8, &SimUnit::onGetPin},
        {0x37, 2, 1, &SimUnit::onSetBluetooth},
        {0x38, 1, 2, &SimUnit::onGetBluetooth},
    }};
    const auto it = std::ranges::find(kCommands, id, &CommandEntry::id);
    return it == kCommands.end() ? nullptr : &*it;
}

void SimUnit::handleRequest(Request req) {
    // Whatever was not read is lost: the pipe carries one request and its reply at a time.
    replyPending_ = false;
    if (req.empty()) {
        return;
    }
    const CommandEntry* command = findCommand(req[0]);
    // Not a command of this unit, or cut short: no reply.
    if (command == nullptr || req.size() < command->minRequest) {
        return;
    }
    ConfigReply r;
    r.bytes[0] = req[0];
    r.length = command->replyLength;
    if ((this->*command->handler)(req, r)) {
        prepare(std::span(r.bytes).first(r.length), command->replyLength);
    }
}

void SimUnit::prepare(std::span<const uint8_t> reply, std::size_t minLength) {
    std::ranges::copy(reply, reply_.begin());
    replyLength_ = reply.size();
    replyMinimum_ = minLength;
    replyPending_ = true;
}

// --- identity and reset ---

bool SimUnit::onReadVersion(Request, ConfigReply& r) {
    r.bytes[1] = identity_.hwRev;
    wire::put16(r.bytes, 2, identity_.extra);
    wire::put16(r.bytes, 4, identity_.major);
    wire::put16(r.bytes, 6, identity_.minor);
    wire::put16(r.bytes, 8, identity_.build);
    wire::put32(r.bytes, 16, identity_.serial);
    return true;
}

bool SimUnit::onSetSerialNumber(Request req, ConfigReply& r) {
    if (serialAccepted_) {
        identity_.serial = wire::get32(req, 4);
    }
    r.bytes[1] = serialAccepted_ ? 1 : 0;
    return true;
}

bool SimUnit::onFactoryReset(Request, ConfigReply&) {
    settings_ = factoryDefaults();
    for (auto& staged : staging_) {
        staged.clear();
    }
    running_ = 0;
    return true;
}

// --- channels ---

bool SimUnit::onSetChannelConfig(Request req, ConfigReply&) {
    if (req[1] >= kRelayChannels) {
        return false;
    }
    settings_.channels[req[1]] = SimChannelConfig{req[2], static_cast<int32_t>(wire::get32(req, 4)),
                                                  static_cast<int32_t>(wire::get32(req, 8))};
    return true;
}

bool SimUnit::onGetChannelConfig(Request req, ConfigReply& r) {
    if (req[1] >= kRelayChannels) {
        return false;
    }
    const SimChannelConfig& c = settings_.channels[req[1]];
    r.bytes[1] = req[1];
    r.bytes[2] = c.flags;
    wire::put32(r.bytes, 4, static_cast<uint32_t>(c.currentMa));
    wire::put32(r.bytes, 8, static_cast<uint32_t>(c.i2tSteps));
    return true;
}

bool SimUnit::onSetChannelName(Request req, ConfigReply&) {
    if (req[1] >= kNamedChannels) {
        return false;
    }
    const auto text = req.subspan(kNameAt, kMaxNameLength);
    settings_.names[req[1]].assign(text.begin(), std::ranges::find(text, uint8_t{0}));
    return true;
}

bool SimUnit::onGetChannelName(Request req, ConfigReply& r) {
    if (req[1] >= kNamedChannels) {
        return false;
    }
    r.bytes[1] = req[1];
    const std::string& name = settings_.names[req[1]];
    const std::size_t length = std::min(name.size(), kMaxNameLength);
    std::ranges::copy(std::span(name).first(length), std::span(r.bytes).subspan<kNameAt>().begin());
    return true;
}

bool SimUnit::onSetButtons(Request req, ConfigReply&) {
    std::ranges::copy(req.subspan(1, settings_.buttons.size()), settings_.buttons.begin());
    return true;
}

bool SimUnit::onGetButtons(Request, ConfigReply& r) {
    std::ranges::copy(settings_.buttons, std::span(r.bytes).subspan<1>().begin());
    return true;
}

bool SimUnit::onSetGroups(Request req, ConfigReply&) {
    settings_.groups = wire::get16(req, 1);
    return true;
}

bool SimUnit::onGetGroups(Request, ConfigReply& r) {
    wire::put16(r.bytes, 1, settings_.groups);
    return true;
}

// --- unit settings ---

bool SimUnit::onSetMode(Request req, ConfigReply&) {
    settings_.mode = req[1];
    return true;
}

bool SimUnit::onGetMode(Request, ConfigReply& r) {
    r.bytes[1] = settings_.mode;
    return true;
}

bool SimUnit::onSetId(Request req, ConfigReply&) {
    settings_.id = req[1];
    return true;
}

bool SimUnit::onGetId(Request, ConfigReply& r) {
    r.bytes[1] = settings_.id;
    return true;
}

bool SimUnit::onSetPin(Request req, ConfigReply&) {
    settings_.pin = wire::get32(req, 4);
    return true;
}

bool SimUnit::onGetPin(Request, ConfigReply& r) {
    wire::put32(r.bytes, 4, settings_.pin);
    return true;
}

bool SimUnit::onSetBluetooth(Request req, ConfigReply&) {
    settings_.bluetooth = req[1] != 0;
    return true;
}

bool SimUnit::onGetBluetooth(Request, ConfigReply& r) {
    r.bytes[1] = settings_.bluetooth ? 1 : 0;
    return true;
}

bool SimUnit::onSetNetwork(Request req, ConfigReply&) {
    settings_.network = SimNetworkSettings{req[1],
                                           wire::get16(req, 2),
                                           wire::get32(req, 4),
                                           wire::get32(req, 8),
                                           wire::get32(req, 12),
                                           wire::get32(req, 16),
                                           wire::get32(req, 20),
                                           wire::get32(req, 24)};
    return true;
}

bool SimUnit::onGetNetwork(Request, ConfigReply& r) {
    const SimNetworkSettings& n = settings_.network;
    r.bytes[1] = n.dhcp;
    wire::put16(r.bytes, 2, n.lcmPort);
    wire::put32(r.bytes, 4, n.ipAddress);
    wire::put32(r.bytes, 8, n.subnet);
    wire::put32(r.bytes, 12, n.gateway);
    wire::put32(r.bytes, 16, n.dns1);
    wire::put32(r.bytes, 20, n.dns2);
    wire::put32(r.bytes, 24, n.lcmAddress);
    return true;
}

// --- scripts ---

bool SimUnit::onExecuteScript(Request req, ConfigReply&) {
    if (req[1] > kScripts) {
        return false;
    }
    running_ = req[1];
    runningUntil_ = clock_.now() + scriptDuration_;
    sync(); // a script of no duration is over at once
    return true;
}

bool SimUnit::onGetScriptStatus(Request, ConfigReply& r) {
    r.bytes[1] = running_;
    return true;
}

bool SimUnit::onWriteScriptChunk(Request req, ConfigReply&) {
    if (!validScript(req[1])) {
        return false;
    }
    auto& staged = staging_[req[1] - 1u];
    const std::size_t offset = wire::get16(req, 2);
    const auto data = req.subspan(kChunkHeader, std::min(req.size() - kChunkHeader, kChunk));
    if (offset == 0) {
        staged.clear(); // a write always starts at the beginning: a new text
    }
    // A gap left by a chunk that never came reads as zero bytes, ending the text there.
    staged.resize(std::max(staged.size(), offset + data.size()), uint8_t{0});
    std::ranges::copy(data, staged.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool SimUnit::onReadScriptChunk(Request req, ConfigReply& r) {
    if (!validScript(req[1])) {
        return false;
    }
    const std::string& text = settings_.scripts[req[1] - 1u];
    const std::size_t offset = wire::get16(req, 2);
    const std::size_t total = text.size() + 1; // with its zero byte
    r.bytes[1] = req[1];
    wire::put16(r.bytes, 2, static_cast<uint16_t>(offset));
    if (offset < total) {
        const std::size_t n = std::min(kChunk, total - offset);
        // The reply is zeroed, so the terminator is already in place after the text's last byte.
        const std::size_t chars = std::min(n, text.size() - std::min(offset, text.size()));
        std::ranges::copy(std::span(text).subspan(offset, chars),
                          std::span(r.bytes).subspan<kChunkHeader>().begin());
        r.length += n;
    }
    return true;
}

bool SimUnit::onCommitScript(Request req, ConfigReply&) {
    if (!validScript(req[1])) {
        return false;
    }
    auto& staged = staging_[req[1] - 1u];
    // Nothing staged since the last commit: the stored script stays as it is.
    if (!staged.empty()) {
        auto end = std::ranges::find(staged, uint8_t{0});
        if (end - staged.begin() > static_cast<std::ptrdiff_t>(kMaxScriptLength)) {
            end = staged.begin() + static_cast<std::ptrdiff_t>(kMaxScriptLength);
        }
        settings_.scripts[req[1] - 1u].assign(staged.begin(), end);
        staged.clear();
    }
    return true;
}

} // namespace sim
