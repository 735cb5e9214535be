#pragma once

#include "Session.h"

#include <cstddef>
#include <string>

namespace Corvane::cli {

struct PublishOptions {
    std::string url; // mqtt://[user@]host[:port]/prefix or mqtts://...
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    std::string passwordFile; // else TARNWELL_MQTT_PASSWORD, else none
    double rate = 0;          // telemetry messages a second at most; 0: one per packet
    bool homeAssistant = false;
    bool allowRelay = false;
    unsigned count = 0;      // packets to read; 0: until interrupted
    std::size_t queue = 500; // messages held for a slow or absent broker
};

// The environment variable that may hold the broker password.
inline constexpr const char* kPasswordVariable = "TARNWELL_MQTT_PASSWORD";

// Streams the unit's telemetry to an MQTT broker until an interrupt (SIGINT, SIGTERM, SIGHUP)
// or `count` packets; the stream is switched off and "offline" published in every case. Waits
// for a unit when none is there, and for it again when it goes away.
int runPublish(Session& s, const PublishOptions& options);

} // namespace Corvane::cli
