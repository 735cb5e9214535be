#pragma once

#include "SimBus.h"
#include "SimClock.h"
#include "SimPowerModel.h"
#include "SimUnitSettings.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace sim {

// What the unit says about itself in its version reply.
struct SimIdentity {
    uint8_t hwRev = 3;
    uint16_t major = 1;
    uint16_t minor = 2;
    uint16_t build = 7;
    uint16_t extra = 0;
    uint32_t serial = 0x00012345;
};

struct SimUnitOptions {
    SimIdentity identity{};
    unsigned telemetryRate = 50;                                 // packets a second, 1 to 100000
    SimClock::Duration scriptDuration = std::chrono::seconds(2); // how long an executed script runs
    double noise = 0.01; // relative noise on reported currents
    uint32_t seed = 1;
    uint8_t bus = 1;
    uint8_t port = 1;
};

// How the next configuration replies go wrong (failNextReplies).
enum class ReplyFault : uint8_t {
    Timeout, // the reply never comes: the read waits out its timeout
    Short,   // the reply is one byte shorter than its command's minimum
    WrongId, // byte 0 carries another command id
};

// The simulated power-distribution unit: one device on the simulated bus (vendor 0xA37C,
// product 0x010F, interface 0) answering on bulk endpoints 1 (configuration) and 2 (stream).
//
// Configuration pipe: a request on OUT 0x01 prepares its reply and the next IN on 0x81 delivers
// it; a later request replaces a reply not yet read. A request the unit cannot act on gets no
// reply at all, so the host's read times out: an unknown command id, a request shorter than
// its command's request length, a channel or script type out of range.
//
// Stream pipe: 00 80 starts and 00 40 stops telemetry; 01 00 ch action is a relay request.
// While streaming, packets fall due at the telemetry rate, alternating a power+status packet
// (mask 0x0003, 59 bytes) and a temperature packet (mask 0x0004, 16 bytes), the first at once.
//
// Time: an IN transfer that has to wait does so through the clock. A packet due within the
// read's timeout is delivered at its due time (a manual clock jumps there); otherwise the read
// waits the whole timeout and times out (a manual clock moves on by the timeout). A read with
// no reply pending behaves the same way. A timeout of 0, unlimited for libusb, waits for the
// next packet when streaming and otherwise returns a timeout at once rather than block forever.
// A host that falls behind gets the overdue packet at once and one more straight after (the
// unit buffers one), after which the cadence resumes.
//
// Scripts: chunk writes fill a staging copy (a chunk at offset 0 starts a new one) and a commit
// makes the staged text, up to its first zero byte and at most 65,535 bytes, the stored
// script; a commit with nothing staged keeps the stored one. An executed script runs for the
// script duration whatever its text, which the unit does not interpret; SCRIPT_NONE stops it.
// A factory reset restores factoryDefaults() and stops the running script; the identity, the
// relays and the stream are left as they are.
//
// The unit attaches itself to the bus on construction and takes itself off on destruction.
// It is powered by the vehicle, not the bus: its stored settings and relays survive an unplug,
// and a replug comes back with streaming off, any reply dropped and an unfinished script write
// discarded.
class SimPacketSource;

class SimUnit {
public:
    static constexpr uint16_t kVendorId = 0xA37C;
    static constexpr uint16_t kProductId = 0x010F;

    SimUnit(SimBus& bus, SimClock& clock, SimUnitOptions options = {});
    ~SimUnit();
    SimUnit(const SimUnit&) = delete;
    SimUnit& operator=(const SimUnit&) = delete;

    const std::shared_ptr<SimDevice>& device() const { return device_; }

    // --- control ---
    void unplug();
    void replug();

    void setIdentity(const SimIdentity& identity) { identity_ = identity; }
    const SimIdentity& identity() const { return identity_; }
    // Whether 0x08 accepts a new serial number (result byte 1) or refuses it (0).
    void setSerialAccepted(bool accepted) { serialAccepted_ = accepted; }

    void setLoad(std::size_t channel, double amps);
    void setFault(std::size_t channel, ChannelFault fault);
    void setInverterOverload(bool on);
    void setInverterOverTemp(bool on);
    void setBluetoothPresent(bool on);
    void setBluetoothConnected(bool on);
    void setBluetoothSearching(bool on);
    void setIgnition(std::size_t input, bool on);

    // The next `count` configuration replies go wrong as `fault` says. The request itself is
    // still carried out: a set stores its value although its reply is lost or garbled.
    void failNextReplies(ReplyFault fault, unsigned count);
    unsigned pendingFaults() const { return faultCount_; }
    // The unit vanishes from the bus once it has taken `count` more configuration requests:
    // the last of them is carried out, and its reply is never read. 0 cancels.
    void unplugAfterRequests(unsigned count) { unplugAfter_ = count; }

    void setTelemetryRate(unsigned packetsPerSecond);
    // Streams the source's packets, at its pace, instead of the model's; null goes back to the
    // model. The source outlives its use here.
    void setPacketSource(SimPacketSource* source) { source_ = source; }
    void setScriptDuration(SimClock::Duration duration) { scriptDuration_ = duration; }

    // --- inspection (each brings the model up to the clock first) ---
    const SimUnitSettings& settings() const { return settings_; }
    // What the unit stores, to preload or alter it; fuse changes count from the present instant.
    SimUnitSettings& settings();
    bool streaming() const { return streaming_; }
    bool relayClosed(std::size_t channel);
    RelayState state(std::size_t channel);
    double i2t(std::size_t channel);
    uint8_t runningScript();
    // The staging copy of a script being written (type 1-4), not yet committed.
    const std::vector<uint8_t>& staging(std::size_t type) const { return staging_.at(type - 1); }

private:
    Outcome configOut(const Transfer& t);
    Outcome configIn(const Transfer& t);
    Outcome streamOut(const Transfer& t);
    Outcome streamIn(const Transfer& t);
    // --- configuration requests (SimUnitRequests.cpp) ---
    using Request = std::span<const uint8_t>;
    // A reply being built: zeroed, byte 0 the command id, `length` preset to the command's
    // reply length (the shortest it accepts).
    struct ConfigReply {
        std::array<uint8_t, 64> bytes{};
        std::size_t length = 0;
    };
    // Fills the reply and says whether the unit answers; false leaves the host to time out.
    using Handler = bool (SimUnit::*)(Request, ConfigReply&);
    struct CommandEntry {
        uint8_t id;
        std::size_t minRequest; // a shorter request gets no reply
        std::size_t replyLength;
        Handler handler;
    };
    static const CommandEntry* findCommand(uint8_t id);
    void handleRequest(Request req);
    void prepare(std::span<const uint8_t> reply, std::size_t minLength);

    bool onReadVersion(Request req, ConfigReply& r);
    bool onSetSerialNumber(Request req, ConfigReply& r);
    bool onFactoryReset(Request req, ConfigReply& r);
    bool onSetChannelConfig(Request req, ConfigReply& r);
    bool onGetChannelConfig(Request req, ConfigReply& r);
    bool onSetChannelName(Request req, ConfigReply& r);
    bool onGetChannelName(Request req, ConfigReply& r);
    bool onExecuteScript(Request req, ConfigReply& r);
    bool onGetScriptStatus(Request req, ConfigReply& r);
    bool onSetMode(Request req, ConfigReply& r);
    bool onGetMode(Request req, ConfigReply& r);
    bool onSetButtons(Request req, ConfigReply& r);
    bool onGetButtons(Request req, ConfigReply& r);
    bool onWriteScriptChunk(Request req, ConfigReply& r);
    bool onReadScriptChunk(Request req, ConfigReply& r);
    bool onCommitScript(Request req, ConfigReply& r);
    bool onSetNetwork(Request req, ConfigReply& r);
    bool onGetNetwork(Request req, ConfigReply& r);
    bool onSetGroups(Request req, ConfigReply& r);
    bool onGetGroups(Request req, ConfigReply& r);
    bool onSetId(Request req, ConfigReply& r);
    bool onGetId(Request req, ConfigReply& r);
    bool onSetPin(Request req, ConfigReply& r);
    bool onGetPin(Request req, ConfigReply& r);
    bool onSetBluetooth(Request req, ConfigReply& r);
    bool onGetBluetooth(Request req, ConfigReply& r);

    Outcome waitOut(unsigned timeoutMs);
    void sync();
    void onReplug();
    void resetLink();
    std::size_t buildPacket();

    SimClock& clock_;
    std::shared_ptr<SimDevice> device_;
    SimIdentity identity_;
    SimUnitSettings settings_ = factoryDefaults();
    SimPowerModel power_;
    bool serialAccepted_ = true;

    // Configuration pipe: the reply waiting for an IN, and the scripted faults.
    std::array<uint8_t, 64> reply_{};
    std::size_t replyLength_ = 0;
    std::size_t replyMinimum_ = 0;
    bool replyPending_ = false;
    ReplyFault fault_ = ReplyFault::Timeout;
    unsigned faultCount_ = 0;
    unsigned unplugAfter_ = 0;

    // Scripts: chunk writes land here, a commit moves them to settings_.scripts.
    std::array<std::vector<uint8_t>, kScripts> staging_{};
    uint8_t running_ = 0;
    SimClock::Duration runningUntil_{0};
    SimClock::Duration scriptDuration_;

    // Stream pipe.
    bool streaming_ = false;
    SimClock::Duration period_;
    SimClock::Duration nextDue_{0};
    SimPacketSource* source_ = nullptr;
    bool powerNext_ = true;
    std::array<uint8_t, 64> packet_{};
};

} // namespace sim
