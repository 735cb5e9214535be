#include "MqttUrl.h"

#include <algorithm>
#include <cctype>

namespace Corvane::cli {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const int l = std::tolower(static_cast<unsigned char>(c));
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool setPort(std::optional<std::string_view> port, MqttUrl& url, std::string& problem) {
    if (!port) {
        url.port = url.tls ? kMqttsPort : kMqttPort;
        return true;
    }
    const bool digits =
        !port->empty() && port->size() <= 5 &&
        std::all_of(port->begin(), port->end(), [](char c) { return c >= '0' && c <= '9'; });
    const unsigned long number = digits ? std::stoul(std::string(*port)) : 0;
    if (number < 1 || number > 65535) {
        problem = "the port is not a number from 1 to 65535";
        return false;
    }
    url.port = static_cast<std::uint16_t>(number);
    return true;
}

// host, [v6], host:port or [v6]:port into the URL; false with `problem` set.
bool takeHostPort(std::string_view text, MqttUrl& url, std::string& problem) {
    std::optional<std::string_view> port;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            problem = "an IPv6 address lacks its closing ']'";
            return false;
        }
        url.host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            problem = "unexpected text after the IPv6 address";
            return false;
        }
        if (!rest.empty()) {
            port = rest.substr(1);
        }
    } else {
        const std::size_t colon = text.find(':');
        url.host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos) {
            port = text.substr(colon + 1);
        }
    }
    if (url.host.empty()) {
        problem = "the URL names no host";
        return false;
    }
    return setPort(port, url, problem);
}

bool takePrefix(std::string_view path, MqttUrl& url, std::string& problem) {
    while (path.ends_with('/')) {
        path.remove_suffix(1);
    }
    if (path.empty()) {
        url.prefix = std::string(kDefaultPrefix);
        return true;
    }
    if (path.find_first_of("+#?") != std::string_view::npos || path.starts_with('$') ||
        path.starts_with('/') || path.find("//") != std::string_view::npos) {
        problem = "the topic prefix may not hold '+', '#', '?', empty levels or a leading '$'";
        return false;
    }
    url.prefix = std::string(path);
    return true;
}

} // namespace

std::optional<MqttUrl> parseMqttUrl(std::string_view text, std::string& problem) {
    MqttUrl url;
    const std::size_t schemeEnd = text.find("://");
    const std::string scheme = lower(text.substr(0, schemeEnd));
    if (schemeEnd == std::string_view::npos || (scheme != "mqtt" && scheme != "mqtts")) {
        problem = "the URL must start with mqtt:// or mqtts://";
        return std::nullopt;
    }
    url.tls = scheme == "mqtts";
    std::string_view rest = text.substr(schemeEnd + 3);
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        if (user.find(':') != std::string_view::npos) {
            problem = "a password does not go in the URL: give it with --password-file or in "
                      "TARNWELL_MQTT_PASSWORD";
            return std::nullopt;
        }
        const std::optional<std::string> decoded = percentDecoded(user);
        if (!decoded || decoded->empty()) {
            problem = "the user name is empty or has a broken %-escape";
            return std::nullopt;
        }
        url.user = *decoded;
        authority.remove_prefix(at + 1);
    }
    if (!takeHostPort(authority, url, problem)) {
        return std::nullopt;
    }
    const std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash + 1);
    if (!takePrefix(path, url, problem)) {
        return std::nullopt;
    }
    return url;
}

} // namespace Corvane::cli
