#pragma once

#include "BoundedQueue.h"
#include "InterruptFlag.h"
#include "MqttLink.h"
#include "MqttTopics.h"
#include "Publish.h"
#include "UnitInfo.h"

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Corvane::cli {

// The USB side of `publish`: reads the unit's stream on the calling thread and hands each
// message to the broker link through a bounded queue, so that nothing the network does ever
// holds up a read. Relay commands that arrive over MQTT are queued by the link's thread and
// sent from here, between reads. One link per unit serial number: a different unit plugged in
// takes the place of the first under its own topics.
class Gateway {
public:
    Gateway(Session& s, const PublishOptions& options, MqttUrl url,
            std::optional<std::string> password, const InterruptFlag& interrupt);
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;
    ~Gateway();

    int run();

private:
    enum class End { Vanished, Stopped, Failed };
    using Time = std::chrono::nanoseconds;

    bool waitForUnit();
    bool startLink(std::string& problem);
    void announceUnit(bool again);
    End stream();
    void onPacket(const tarn::DataStreamFeedback& packet, Time now);
    void publishTelemetry(Time now);
    void publishRelayStates(const tarn::StatusF32& status);
    void sendRelayCommands();
    void housekeeping();
    int finish(int status);
    bool stopRequested() const;

    Session& s_;
    const PublishOptions& options_;
    MqttUrl url_;
    std::optional<std::string> password_;
    const InterruptFlag& interrupt_;

    BoundedQueue<MqttMessage> outbox_;
    BoundedQueue<std::string> log_{256};
    BoundedQueue<RelayCommand> relayInbox_{32};
    std::unique_ptr<MqttLink> link_;
    std::optional<UnitTopics> topics_;
    UnitInfo info_;

    unsigned packets_ = 0;
    Time streamStart_{0};
    std::optional<Time> nextTelemetry_;
    tarn::DataStreamFeedback seen_;
    std::array<std::string, 13> relayStates_{}; // as last published; empty: not yet
    struct PendingAnswer {
        std::uint32_t output;
        int statusBlocks; // still to come before the state is the unit's answer
    };
    std::vector<PendingAnswer> pending_;
    Time lastDropReport_{0};
    std::uint64_t droppedReported_ = 0;
    std::uint64_t relayDropsReported_ = 0;
};

} // namespace Corvane::cli
