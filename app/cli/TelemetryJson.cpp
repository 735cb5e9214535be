#include "TelemetryJson.h"

#include "JsonWriter.h"
#include "Packets.h"
#include "TelemetryCsv.h"
#include "TelemetryLine.h"

namespace Corvane::cli {
namespace {

constexpr int kElectrical = kTelemetryPowerDecimals;
constexpr int kTemperature = kTelemetryTempDecimals;

void numberOrNull(JsonWriter& json, const std::string& key, bool known, double value,
                  int decimals) {
    json.key(key);
    known ? json.number(value, decimals) : json.null();
}

void textOrNull(JsonWriter& json, const std::string& key, bool known, std::string_view text) {
    json.key(key);
    known ? json.string(text) : json.null();
}

} // namespace

std::string telemetryJson(double seconds, const tarn::DataStreamFeedback& blocks) {
    const tarn::PowerF32* p = blocks.power;
    const tarn::StatusF32* st = blocks.status;
    const tarn::TempF32* t = blocks.temp;
    JsonWriter json;
    json.beginObject();
    numberOrNull(json, "time_s", true, seconds, 3);
    numberOrNull(json, "total_current_a", p, p ? p->total_current : 0, kElectrical);
    numberOrNull(json, "battery_v", p, p ? p->battery : 0, kElectrical);
    for (unsigned i = 0; i < 3; ++i) {
        numberOrNull(json, "ignition" + std::to_string(i + 1) + "_v", p, p ? p->ignition[i] : 0,
                     kElectrical);
    }
    for (unsigned ch = 0; ch < 12; ++ch) {
        const std::string name = "ch" + std::to_string(ch + 1);
        numberOrNull(json, name + "_a", p, p ? p->current[ch] : 0, kElectrical);
        textOrNull(json, name + "_state", st,
                   st ? tarn::relayStateText(st->channel[ch].relay_state) : "");
    }
    textOrNull(json, "inverter", st, st ? tarn::inverterStateText(st->inverter) : "");
    for (unsigned i = 0; i < 3; ++i) {
        numberOrNull(json, "internal" + std::to_string(i + 1) + "_c", t, t ? t->internal[i] : 0,
                     kTemperature);
    }
    for (unsigned i = 0; i < 4; ++i) {
        numberOrNull(json, "external" + std::to_string(i + 1) + "_c", t, t ? t->external[i] : 0,
                     kTemperature);
    }
    textOrNull(json, "mode", st, st ? telemetryModeText(st->mode) : "");
    textOrNull(json, "bluetooth", st, st ? tarn::bluetoothStateText(st->bluetooth) : "");
    json.endObject();
    return json.text();
}

} // namespace Corvane::cli
