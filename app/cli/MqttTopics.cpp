#include "MqttTopics.h"

#include "TarnInterface.h"

namespace Corvane::cli {

UnitTopics::UnitTopics(std::string_view prefix, std::uint32_t serial)
    : base_(std::string(prefix) + "/" + std::to_string(serial)) {}

std::string UnitTopics::relaySet(std::uint32_t output) const {
    return base_ + "/relay/" + relayLevel(output) + "/set";
}

std::string UnitTopics::relayState(std::uint32_t output) const {
    return base_ + "/relay/" + relayLevel(output) + "/state";
}

std::string relayLevel(std::uint32_t output) {
    return output < tarn::TarnInterface::kRelayChannels ? std::to_string(output + 1) : "inv";
}

std::optional<RelayCommand> parseRelayCommand(const UnitTopics& topics, std::string_view topic,
                                              std::string_view payload, std::string& problem) {
    const std::string head = topics.base() + "/relay/";
    if (!topic.starts_with(head) || !topic.ends_with("/set")) {
        problem = "not a relay topic";
        return std::nullopt;
    }
    const std::string_view level = topic.substr(head.size(), topic.size() - head.size() - 4);
    std::optional<std::uint32_t> output;
    for (std::uint32_t o = 0; o <= tarn::TarnInterface::kInverterChannel; ++o) {
        if (level == relayLevel(o)) {
            output = o;
        }
    }
    if (!output) {
        problem = "no output \"" + printable(level) + "\" (1 to 12, or inv)";
        return std::nullopt;
    }
    RelayCommand command{*output};
    if (payload == "ON") {
        command.action = tarn::RELAY_ACTION_ON;
    } else if (payload == "OFF") {
        command.action = tarn::RELAY_ACTION_OFF;
    } else if (payload == "TOGGLE") {
        command.action = tarn::RELAY_ACTION_TOGGLE;
    } else {
        problem = "the payload \"" + printable(payload) + "\" is not ON, OFF or TOGGLE";
        return std::nullopt;
    }
    return command;
}

std::string printable(std::string_view text, std::size_t limit) {
    std::string out;
    for (const char c : text.substr(0, limit)) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || u == 0x7F ? '?' : c;
    }
    return text.size() > limit ? out + "..." : out;
}

} // namespace Corvane::cli
