#include "HomeAssistant.h"

#include "JsonWriter.h"

namespace Corvane::cli {
namespace {

constexpr const char* kDiscoveryPrefix = "homeassistant";

struct Sensor {
    std::string field; // the telemetry member
    std::string name;
    const char* unit = nullptr; // and device class, both absent for a state
    const char* deviceClass = nullptr;
};

std::vector<Sensor> sensors(const UnitInfo& info) {
    std::vector<Sensor> all{{"total_current_a", "Total current", "A", "current"},
                            {"battery_v", "Battery", "V", "voltage"}};
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        all.push_back({"ignition" + n + "_v", "Ignition " + n, "V", "voltage"});
    }
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        all.push_back(
            {"internal" + n + "_c", "Internal temperature " + n, "\u00B0C", "temperature"});
    }
    for (int i = 1; i <= 4; ++i) {
        const std::string n = std::to_string(i);
        all.push_back(
            {"external" + n + "_c", "External temperature " + n, "\u00B0C", "temperature"});
    }
    for (std::size_t ch = 0; ch < 12; ++ch) {
        const std::string field = "ch" + std::to_string(ch + 1);
        const std::string label = outputLabel(info, ch);
        all.push_back({field + "_a", label + " current", "A", "current"});
        all.push_back({field + "_state", label + " state"});
    }
    all.push_back({"inverter", outputLabel(info, 12) + " state"});
    return all;
}

void device(JsonWriter& json, const UnitTopics& topics, const UnitInfo& info) {
    const std::string serial = std::to_string(info.serial);
    json.key("availability_topic").string(topics.status());
    json.key("device").beginObject();
    json.key("identifiers").beginArray().string("tarnwell_" + serial).endArray();
    json.key("name").string("Tarnwell " + serial);
    json.key("manufacturer").string("Marlin Inc.");
    json.key("model").string("Tarnwell power-distribution unit");
    json.key("sw_version").string(info.firmware);
    json.key("hw_version").string(std::to_string(info.hardwareRevision));
    json.key("serial_number").string(serial);
    json.endObject();
}

MqttMessage sensorConfig(const UnitTopics& topics, const UnitInfo& info, const Sensor& s) {
    const std::string unique = "tarnwell_" + std::to_string(info.serial) + "_" + s.field;
    JsonWriter json;
    json.beginObject();
    json.key("name").string(s.name);
    json.key("unique_id").string(unique);
    json.key("object_id").string(unique);
    json.key("state_topic").string(topics.telemetry());
    json.key("value_template").string("{{ value_json." + s.field + " }}");
    if (s.unit != nullptr) {
        json.key("unit_of_measurement").string(s.unit);
        json.key("device_class").string(s.deviceClass);
        json.key("state_class").string("measurement");
    }
    device(json, topics, info);
    json.endObject();
    return {std::string(kDiscoveryPrefix) + "/sensor/" + unique + "/config", json.text(), true};
}

MqttMessage switchConfig(const UnitTopics& topics, const UnitInfo& info, std::uint32_t output,
                         bool relays) {
    const std::string unique =
        "tarnwell_" + std::to_string(info.serial) + "_relay_" + relayLevel(output);
    const std::string topic = std::string(kDiscoveryPrefix) + "/switch/" + unique + "/config";
    if (!relays) {
        return {topic, "", true};
    }
    JsonWriter json;
    json.beginObject();
    json.key("name").string(outputLabel(info, output));
    json.key("unique_id").string(unique);
    json.key("object_id").string(unique);
    json.key("command_topic").string(topics.relaySet(output));
    json.key("state_topic").string(topics.relayState(output));
    json.key("payload_on").string("ON");
    json.key("payload_off").string("OFF");
    json.key("state_on").string("ON");
    json.key("state_off").string("OFF");
    device(json, topics, info);
    json.endObject();
    return {topic, json.text(), true};
}

} // namespace

std::vector<MqttMessage> homeAssistantDiscovery(const UnitTopics& topics, const UnitInfo& info,
                                                bool relays) {
    std::vector<MqttMessage> all;
    for (const Sensor& s : sensors(info)) {
        all.push_back(sensorConfig(topics, info, s));
    }
    for (std::uint32_t output = 0; output < info.names.size(); ++output) {
        all.push_back(switchConfig(topics, info, output, relays));
    }
    return all;
}

} // namespace Corvane::cli
