#pragma once

#include <string>

namespace Corvane::cli {

// One message for the broker, always at QoS 0.
struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retain = false;
};

} // namespace Corvane::cli
