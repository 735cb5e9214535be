#pragma once

#include "MqttMessage.h"
#include "MqttTopics.h"
#include "UnitInfo.h"

#include <vector>

namespace Corvane::cli {

// Home Assistant's MQTT discovery: one retained configuration per entity, so that the unit
// shows up as one device, named by its serial number, without any set-up in Home Assistant.
// Sensors: the total current, battery and ignition voltages, the seven temperatures, each
// channel's current and state, and the inverter's state, read from the telemetry topic's
// members. With `relays`, a switch per output on the relay topics; without, an empty retained
// message on each switch's configuration topic, which removes switches an earlier run set up.
std::vector<MqttMessage> homeAssistantDiscovery(const UnitTopics& topics, const UnitInfo& info,
                                                bool relays);

} // namespace Corvane::cli
