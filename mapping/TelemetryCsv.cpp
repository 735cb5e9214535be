#include "TelemetryCsv.h"

#include "Packets.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

namespace Corvane {
namespace {

constexpr std::size_t kChannels = 12;
// time, total, battery, 3 ignitions, 12 x (current, state), inverter, 3 + 4 temperatures, mode,
// Bluetooth.
constexpr std::size_t kFields = 6 + 2 * kChannels + 1 + 7 + 2;
constexpr std::uint8_t kUnknownRelayState = 15;

constexpr int kPowerDecimals = kTelemetryPowerDecimals;
constexpr int kTempDecimals = kTelemetryTempDecimals;

void number(std::string& out, double value, int decimals) {
    // Wide enough for any double in fixed notation, so to_chars cannot run out of room.
    std::array<char, 400> text{};
    const auto done = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::fixed, decimals);
    out.append(text.data(), done.ptr);
}

void power(std::string& out, const tarn::PowerF32* p) {
    const auto field = [&](float value) {
        out += ',';
        if (p != nullptr) {
            number(out, value, kPowerDecimals);
        }
    };
    field(p ? p->total_current : 0);
    field(p ? p->battery : 0);
    for (std::size_t i = 0; i < 3; ++i) {
        field(p ? p->ignition[i] : 0);
    }
}

void text(std::string& out, bool known, std::string_view value) {
    out += ',';
    if (known) {
        out += value;
    }
}

} // namespace

std::string telemetryModeText(unsigned mode) {
    return mode < tarn::kModeNames.size() ? std::string(tarn::kModeNames[mode])
                                          : "unknown (" + std::to_string(mode) + ")";
}

std::string telemetryCsvHeader() {
    std::string h = "time_s,total_current_a,battery_v,ignition1_v,ignition2_v,ignition3_v";
    for (std::size_t ch = 1; ch <= kChannels; ++ch) {
        h += ",ch" + std::to_string(ch) + "_a,ch" + std::to_string(ch) + "_state";
    }
    h += ",inverter,internal1_c,internal2_c,internal3_c";
    h += ",external1_c,external2_c,external3_c,external4_c,mode,bluetooth";
    return h;
}

void appendTelemetryCsvLine(std::string& out, double seconds,
                            const tarn::DataStreamFeedback& blocks) {
    const tarn::PowerF32* p = blocks.power;
    const tarn::StatusF32* st = blocks.status;
    const tarn::TempF32* t = blocks.temp;
    number(out, seconds, 3);
    power(out, p);
    for (std::size_t ch = 0; ch < kChannels; ++ch) {
        out += ',';
        if (p != nullptr) {
            number(out, p->current[ch], kPowerDecimals);
        }
        text(out, st != nullptr, st ? tarn::relayStateText(st->channel[ch].relay_state) : "");
    }
    text(out, st != nullptr, st ? tarn::inverterStateText(st->inverter) : "");
    for (std::size_t i = 0; i < 7; ++i) {
        out += ',';
        if (t != nullptr) {
            number(out, i < 3 ? t->internal[i] : t->external[i - 3], kTempDecimals);
        }
    }
    text(out, st != nullptr, st ? telemetryModeText(st->mode) : "");
    text(out, st != nullptr, st ? tarn::bluetoothStateText(st->bluetooth) : "");
}

std::string telemetryCsvLine(double seconds, const tarn::DataStreamFeedback& blocks) {
    std::string line;
    appendTelemetryCsvLine(line, seconds, blocks);
    return line;
}

tarn::DataStreamFeedback TelemetryCsvRow::blocks() const {
    tarn::DataStreamFeedback b;
    b.power = power ? &*power : nullptr;
    b.status = status ? &*status : nullptr;
    b.temp = temp ? &*temp : nullptr;
    return b;
}

// ---- Reading ----

namespace {

using Fields = std::array<std::string_view, kFields>;

// Splits a line into exactly kFields fields; false if it has another count.
bool split(std::string_view line, Fields& fields) {
    std::size_t n = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ',') {
            if (n == kFields) {
                return false;
            }
            fields[n++] = line.substr(start, i - start);
            start = i + 1;
        }
    }
    return n == kFields;
}

bool parseNumber(std::string_view field, double& value) {
    const auto done = std::from_chars(field.data(), field.data() + field.size(), value);
    return done.ec == std::errc{} && done.ptr == field.data() + field.size() &&
           std::isfinite(value);
}

bool parseFloat(std::string_view field, float& value) {
    double d = 0;
    if (!parseNumber(field, d) || std::fabs(d) > 1e30) {
        return false;
    }
    value = static_cast<float>(d);
    return true;
}

std::optional<std::uint8_t> relayCode(std::string_view text) {
    for (std::uint8_t code = 0; code < kUnknownRelayState; ++code) {
        if (tarn::relayStateText(code) == text) {
            return code;
        }
    }
    return std::nullopt;
}

std::optional<std::uint8_t> modeCode(std::string_view text) {
    for (std::size_t m = 0; m < tarn::kModeNames.size(); ++m) {
        if (tarn::kModeNames[m] == text) {
            return static_cast<std::uint8_t>(m);
        }
    }
    constexpr std::string_view prefix = "unknown (";
    if (!text.starts_with(prefix) || !text.ends_with(')')) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    unsigned value = 0;
    const auto done = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (done.ec != std::errc{} || done.ptr != digits.data() + digits.size() || value > 255 ||
        value < tarn::kModeNames.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<tarn::InverterFeedback> inverterState(std::string_view text) {
    tarn::InverterFeedback inv;
    inv.on = text != "OFF";
    inv.over_load = text == "OVER LOAD";
    inv.over_temp = text == "OVER TEMP";
    if (tarn::inverterStateText(inv) != text) {
        return std::nullopt;
    }
    return inv;
}

std::optional<tarn::StatusF32::BluetoothFeedback> bluetoothState(std::string_view text) {
    tarn::StatusF32::BluetoothFeedback bt;
    bt.searching = text == "Searching...";
    bt.present = text != "Removed";
    bt.enabled = bt.present && text != "Disabled";
    bt.connected = bt.enabled && text == "Connected";
    if (tarn::bluetoothStateText(bt) != text) {
        return std::nullopt;
    }
    return bt;
}

// A block's fields are either all empty (not received yet) or all given.
enum class Presence { Absent, Present, Mixed };

template <typename Indices>
Presence presence(const Fields& f, const Indices& indices) {
    std::size_t empty = 0;
    for (const std::size_t i : indices) {
        empty += f[i].empty() ? 1 : 0;
    }
    return empty == indices.size() ? Presence::Absent
           : empty == 0            ? Presence::Present
                                   : Presence::Mixed;
}

constexpr std::size_t currentField(std::size_t ch) {
    return 6 + 2 * ch;
}
constexpr std::size_t stateField(std::size_t ch) {
    return 7 + 2 * ch;
}
constexpr std::size_t kInverterField = 6 + 2 * kChannels;
constexpr std::size_t kTempField = kInverterField + 1;
constexpr std::size_t kModeField = kTempField + 7;
constexpr std::size_t kBluetoothField = kModeField + 1;

const char* readPower(const Fields& f, tarn::PowerF32& p) {
    bool ok = parseFloat(f[1], p.total_current) && parseFloat(f[2], p.battery);
    for (std::size_t i = 0; i < 3; ++i) {
        ok = ok && parseFloat(f[3 + i], p.ignition[i]);
    }
    for (std::size_t ch = 0; ch < kChannels; ++ch) {
        ok = ok && parseFloat(f[currentField(ch)], p.current[ch]);
    }
    return ok ? nullptr : "a current or voltage is not a number";
}

const char* readStatus(const Fields& f, tarn::StatusF32& s) {
    for (std::size_t ch = 0; ch < kChannels; ++ch) {
        const auto code = relayCode(f[stateField(ch)]);
        if (!code) {
            return "unknown relay state";
        }
        s.channel[ch].relay_state = *code;
    }
    const auto inverter = inverterState(f[kInverterField]);
    const auto mode = modeCode(f[kModeField]);
    const auto bluetooth = bluetoothState(f[kBluetoothField]);
    if (!inverter || !mode || !bluetooth) {
        return !inverter ? "unknown inverter state"
               : !mode   ? "unknown mode"
                         : "unknown Bluetooth state";
    }
    s.inverter = *inverter;
    s.mode = *mode;
    s.bluetooth = *bluetooth;
    return nullptr;
}

const char* readTemp(const Fields& f, tarn::TempF32& t) {
    bool ok = true;
    for (std::size_t i = 0; i < 7; ++i) {
        ok = ok && parseFloat(f[kTempField + i], i < 3 ? t.internal[i] : t.external[i - 3]);
    }
    return ok ? nullptr : "a temperature is not a number";
}

template <typename Block>
const char* readBlock(Presence p, std::optional<Block>& block,
                      const char* (*read)(const Fields&, Block&), const Fields& f) {
    if (p == Presence::Mixed) {
        return "a block is only partly given";
    }
    if (p == Presence::Absent) {
        return nullptr;
    }
    block.emplace();
    return read(f, *block);
}

const char* readRow(std::string_view line, TelemetryCsvRow& row) {
    Fields f;
    if (!split(line, f)) {
        return "wrong number of fields";
    }
    if (!parseNumber(f[0], row.seconds)) {
        return "the time is not a number";
    }
    std::array<std::size_t, 5 + kChannels> powerFields{1, 2, 3, 4, 5};
    std::array<std::size_t, 3 + kChannels> statusFields{kInverterField, kModeField,
                                                        kBluetoothField};
    for (std::size_t ch = 0; ch < kChannels; ++ch) {
        powerFields[5 + ch] = currentField(ch);
        statusFields[3 + ch] = stateField(ch);
    }
    const std::array<std::size_t, 7> tempFields{kTempField,     kTempField + 1, kTempField + 2,
                                                kTempField + 3, kTempField + 4, kTempField + 5,
                                                kTempField + 6};
    const char* error = readBlock(presence(f, powerFields), row.power, readPower, f);
    if (error == nullptr) {
        error = readBlock(presence(f, statusFields), row.status, readStatus, f);
    }
    if (error == nullptr) {
        error = readBlock(presence(f, tempFields), row.temp, readTemp, f);
    }
    return error;
}

} // namespace

TelemetryCsvFile readTelemetryCsv(std::string_view text) {
    TelemetryCsvFile file;
    const auto refuse = [&file](std::size_t line, std::string why) {
        file.rows.clear();
        file.errorLine = line;
        file.error = std::move(why);
        return file;
    };
    const std::string header = telemetryCsvHeader();
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNo;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (lineNo == 1) {
            if (line != header) {
                return refuse(1, "not a telemetry recording (unexpected header)");
            }
            continue;
        }
        TelemetryCsvRow row;
        if (const char* error = readRow(line, row)) {
            return refuse(lineNo, error);
        }
        if (!file.rows.empty() && row.seconds < file.rows.back().seconds) {
            return refuse(lineNo, "the time goes back");
        }
        file.rows.push_back(row);
    }
    if (lineNo == 0) {
        return refuse(1, "the file is empty");
    }
    return file;
}

// ---- Writing ----

bool TelemetryCsvWriter::open(const std::string& path, Millis now) {
    close();
    error_.clear();
    lines_ = 0;
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) {
        error_ = std::strerror(errno);
        return false;
    }
    buffer_ = telemetryCsvHeader() + '\n';
    // Room for a second of lines at 50 a second, so appending never reallocates.
    buffer_.reserve(64 * 1024);
    return flush(now);
}

bool TelemetryCsvWriter::write(Millis now, double seconds, const tarn::DataStreamFeedback& blocks) {
    if (!file_) {
        return false;
    }
    appendTelemetryCsvLine(buffer_, seconds, blocks);
    buffer_ += '\n';
    ++lines_;
    return flushIfDue(now);
}

bool TelemetryCsvWriter::flushIfDue(Millis now) {
    return !file_ || now - lastFlush_ < kFlushInterval || flush(now);
}

bool TelemetryCsvWriter::flush(Millis now) {
    if (!file_) {
        return false;
    }
    lastFlush_ = now;
    if (!buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) != buffer_.size()) {
        return fail();
    }
    buffer_.clear();
    return std::fflush(file_.get()) == 0 || fail();
}

bool TelemetryCsvWriter::close() {
    if (!file_) {
        return true;
    }
    const bool flushed = flush(lastFlush_);
    if (!file_) {
        return false; // the flush failed and closed it
    }
    const bool closed = std::fclose(file_.release()) == 0;
    if (!closed) {
        error_ = std::strerror(errno);
    }
    return flushed && closed;
}

bool TelemetryCsvWriter::fail() {
    error_ = std::strerror(errno);
    file_.reset();
    buffer_.clear();
    return false;
}

} // namespace Corvane
