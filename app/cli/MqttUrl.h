#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Corvane::cli {

// Where `publish` sends: mqtt://[user@]host[:port]/prefix, or mqtts:// for TLS.
struct MqttUrl {
    bool tls = false;
    std::string user; // empty: none
    std::string host; // an IPv6 address without its brackets
    std::uint16_t port = 0;
    std::string prefix; // the topics' first levels
};

// The port when the URL names none: 1883, or 8883 with TLS.
inline constexpr std::uint16_t kMqttPort = 1883;
inline constexpr std::uint16_t kMqttsPort = 8883;
// The prefix when the URL has no path.
inline constexpr std::string_view kDefaultPrefix = "tarnwell";

// The URL taken apart, or nothing with `problem` saying what is wrong with it. A password in
// the URL is refused: it would show in the process list and the shell's history. The user name
// may carry %-escapes (%40 for '@'). The prefix may have several levels ("fleet/van7") but no
// empty level, no wildcard ('+', '#') and no leading '$'; a trailing '/' is dropped.
std::optional<MqttUrl> parseMqttUrl(std::string_view text, std::string& problem);

} // namespace Corvane::cli
