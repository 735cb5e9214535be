#pragma once

#include "Telemetry.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Telemetry as CSV: the lines `tarnwell-cli watch --csv` prints and the window records, one per
// packet, each block with the last values received (its fields empty until it first came), and
// the reader that turns such a file back into values for replay.
namespace Corvane {

// Decimals of the values, for every text made of telemetry (the CSV here, the CLI's JSON).
// Currents and voltages come in mA and mV: three decimals keep every value exact.
constexpr int kTelemetryPowerDecimals = 3;
// Three decimals for temperatures pin the internal sensors' 0.0073 °C step, so a replayed
// recording reads back the same.
constexpr int kTelemetryTempDecimals = 3;

// The mode's name as every telemetry text gives it, or "unknown (N)".
std::string telemetryModeText(unsigned mode);

std::string telemetryCsvHeader();
// Appends one line without its newline. `seconds` is the time since the recording started.
// Numbers always use '.', so that the lines parse anywhere.
void appendTelemetryCsvLine(std::string& out, double seconds,
                            const tarn::DataStreamFeedback& blocks);
std::string telemetryCsvLine(double seconds, const tarn::DataStreamFeedback& blocks);

// One line read back.
struct TelemetryCsvRow {
    double seconds = 0;
    std::optional<tarn::PowerF32> power;
    std::optional<tarn::StatusF32> status;
    std::optional<tarn::TempF32> temp;

    // The row's blocks, pointing into the row.
    tarn::DataStreamFeedback blocks() const;
};

struct TelemetryCsvFile {
    std::vector<TelemetryCsvRow> rows;
    // Set for a file that is not a telemetry recording: the first line at fault (1 is the
    // header) and why.
    std::size_t errorLine = 0;
    std::string error;

    bool ok() const { return error.empty(); }
};

// The whole file or nothing: a malformed line refuses the file. Times may not go back.
TelemetryCsvFile readTelemetryCsv(std::string_view text);

// A recording on disk. Lines are buffered and written out at least once every kFlushInterval
// (a pulled plug or a crash loses at most that much), and on close.
class TelemetryCsvWriter {
public:
    using Millis = std::int64_t;
    static constexpr Millis kFlushInterval = 1000;

    // Creates (or empties) the file and writes the header; false, with error(), if it cannot.
    bool open(const std::string& path, Millis now);
    bool isOpen() const { return file_ != nullptr; }
    // Appends a line; false, with error(), once the file cannot be written (it is then closed).
    bool write(Millis now, double seconds, const tarn::DataStreamFeedback& blocks);
    // Writes out what is buffered if kFlushInterval has passed since the last time.
    bool flushIfDue(Millis now);
    bool flush(Millis now);
    bool close();

    std::uint64_t lines() const { return lines_; }
    const std::string& error() const { return error_; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool fail();

    std::unique_ptr<std::FILE, Closer> file_;
    std::string buffer_;
    Millis lastFlush_ = 0;
    std::uint64_t lines_ = 0;
    std::string error_;
};

} // namespace Corvane
