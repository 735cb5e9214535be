#include "TelemetryLine.h"

#include "Packets.h"
#include "TelemetryCsv.h"

#include <iomanip>
#include <sstream>
#include <vector>

namespace Corvane::cli {
namespace {

constexpr unsigned kChannels = 12;

std::string fixed(double value, int decimals, const std::locale& locale) {
    std::ostringstream s;
    s.imbue(locale);
    s << std::fixed << std::setprecision(decimals) << value;
    return s.str();
}

// Collects fields, each blank until its block has come.
class Fields {
public:
    explicit Fields(const std::locale& locale)
        : locale_(locale) {}
    void number(bool known, double value, int decimals) {
        fields_.push_back(known ? fixed(value, decimals, locale_) : "");
    }
    void text(bool known, std::string value) { fields_.push_back(known ? std::move(value) : ""); }
    const std::vector<std::string>& all() const { return fields_; }

private:
    const std::locale& locale_;
    std::vector<std::string> fields_;
};

// Every field of a line in CSV column order (see csvHeader).
std::vector<std::string> fieldsOf(double seconds, const tarn::DataStreamFeedback& b,
                                  const std::locale& locale, int currentDecimals,
                                  int tempDecimals) {
    Fields f(locale);
    const tarn::PowerF32* p = b.power;
    const tarn::StatusF32* st = b.status;
    const tarn::TempF32* t = b.temp;
    f.number(true, seconds, 3);
    f.number(p != nullptr, p ? p->total_current : 0, currentDecimals);
    f.number(p != nullptr, p ? p->battery : 0, currentDecimals);
    for (unsigned i = 0; i < 3; ++i) {
        f.number(p != nullptr, p ? p->ignition[i] : 0, currentDecimals);
    }
    for (unsigned ch = 0; ch < kChannels; ++ch) {
        f.number(p != nullptr, p ? p->current[ch] : 0, currentDecimals);
        f.text(st != nullptr,
               st ? std::string(tarn::relayStateText(st->channel[ch].relay_state)) : "");
    }
    f.text(st != nullptr, st ? std::string(tarn::inverterStateText(st->inverter)) : "");
    for (unsigned i = 0; i < 3; ++i) {
        f.number(t != nullptr, t ? t->internal[i] : 0, tempDecimals);
    }
    for (unsigned i = 0; i < 4; ++i) {
        f.number(t != nullptr, t ? t->external[i] : 0, tempDecimals);
    }
    f.text(st != nullptr, st ? telemetryModeText(st->mode) : "");
    f.text(st != nullptr, st ? std::string(tarn::bluetoothStateText(st->bluetooth)) : "");
    return f.all();
}

std::string orDash(const std::string& field) {
    return field.empty() ? "-" : field;
}

} // namespace

std::string csvHeader() {
    return telemetryCsvHeader();
}

std::string csvLine(double seconds, const tarn::DataStreamFeedback& blocks) {
    return telemetryCsvLine(seconds, blocks);
}

std::string textLine(double seconds, const tarn::DataStreamFeedback& blocks,
                     const std::locale& locale) {
    const std::vector<std::string> f = fieldsOf(seconds, blocks, locale, 2, 1);
    std::string line = f[0] + " s | total " + orDash(f[1]) + " A | battery " + orDash(f[2]) +
                       " V | ignition " + orDash(f[3]) + " " + orDash(f[4]) + " " + orDash(f[5]) +
                       " V |";
    std::size_t i = 6;
    for (unsigned ch = 1; ch <= kChannels; ++ch, i += 2) {
        line.append(" ").append(std::to_string(ch)).append(": ");
        line += orDash(f[i]) + " A " + orDash(f[i + 1]) + " ";
    }
    line += "| inverter " + orDash(f[i]) + " | internal " + orDash(f[i + 1]) + " " +
            orDash(f[i + 2]) + " " + orDash(f[i + 3]) + " \u00B0C | external " + orDash(f[i + 4]) +
            " " + orDash(f[i + 5]) + " " + orDash(f[i + 6]) + " " + orDash(f[i + 7]) +
            " \u00B0C | mode " + orDash(f[i + 8]) + " | Bluetooth " + orDash(f[i + 9]);
    return line;
}

} // namespace Corvane::cli
