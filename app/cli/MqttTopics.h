#pragma once

#include "Packets.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Corvane::cli {

// The topics of one unit under the URL's prefix: <prefix>/<serial>/...
class UnitTopics {
public:
    UnitTopics(std::string_view prefix, std::uint32_t serial);

    const std::string& base() const { return base_; }
    std::string telemetry() const { return base_ + "/telemetry"; }
    std::string info() const { return base_ + "/info"; }
    std::string status() const { return base_ + "/status"; }
    // Output 0-11 (channels 1-12) or 12 (the inverter, "inv").
    std::string relaySet(std::uint32_t output) const;
    std::string relayState(std::uint32_t output) const;
    // Every output's set topic.
    std::string relaySubscription() const { return base_ + "/relay/+/set"; }

private:
    std::string base_;
};

// "1" to "12", or "inv" for the inverter (output 12): the level the relay topics use.
std::string relayLevel(std::uint32_t output);

struct RelayCommand {
    std::uint32_t output = 0; // 0-11, or 12 for the inverter
    tarn::RelayAction action = tarn::RELAY_ACTION_OFF;
};

// A message on <base>/relay/<1-12|inv>/set whose payload is exactly ON, OFF or TOGGLE; anything
// else gives nothing and `problem` says why.
std::optional<RelayCommand> parseRelayCommand(const UnitTopics& topics, std::string_view topic,
                                              std::string_view payload, std::string& problem);

// Up to `limit` characters of `text` for a log line, with control characters shown as '?'.
std::string printable(std::string_view text, std::size_t limit = 40);

} // namespace Corvane::cli
