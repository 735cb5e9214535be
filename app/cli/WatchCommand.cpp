#include "Commands.h"
#include "ExitStatus.h"
#include "InterruptFlag.h"
#include "TelemetryJson.h"
#include "TelemetryLine.h"
#include "UnitText.h"

#include <optional>

namespace Corvane::cli {
namespace {

// Switches the stream off unless the unit is gone; a failure to do so is an error of its own.
int stopStream(Session& s, int status) {
    if (s.dev.isOpen() && !s.dev.sendDataStreamDisable()) {
        s.err << "tarnwell-cli: the unit did not take the request to stop its telemetry.\n";
        return status == exit_status::kSuccess ? exit_status::kDeviceFailure : status;
    }
    return status;
}

int startFailed(Session& s) {
    s.err << "tarnwell-cli: the unit did not take the request to start its telemetry.\n";
    return exit_status::kDeviceFailure;
}

// The state the unit reports for `channel` in the second status block after a relay request:
// the first may have been on its way before the request arrived.
std::optional<std::string> reportedState(Session& s, std::uint32_t channel) {
    const InterruptFlag interrupt;
    if (!s.dev.sendDataStreamEnable()) {
        return std::nullopt;
    }
    constexpr int kMaxReads = 25; // 2.5 s at the stream's 100 ms timeout
    std::optional<std::string> state;
    int statusBlocks = 0;
    for (int read = 0; read < kMaxReads && statusBlocks < 2 && !interrupt.raised(); ++read) {
        tarn::DataStreamFeedback packet;
        if (s.dev.readDataStream(packet) && packet.status != nullptr) {
            ++statusBlocks;
            const tarn::StatusF32& st = *packet.status;
            state = std::string(tarn::outputStateText(st, channel));
        } else if (!s.dev.isOpen()) {
            return std::nullopt;
        }
    }
    stopStream(s, exit_status::kSuccess);
    return statusBlocks == 2 ? state : std::nullopt;
}

} // namespace

int runWatch(Session& s, const WatchOptions& options) {
    const InterruptFlag interrupt;
    if (!s.dev.sendDataStreamEnable()) {
        return startFailed(s);
    }
    if (options.csv) {
        s.out << csvHeader() << '\n' << std::flush;
    }
    const auto start = s.clock();
    tarn::DataStreamFeedback seen;
    unsigned printed = 0;
    int status = exit_status::kSuccess;
    while (!interrupt.raised() && (options.count == 0 || printed < options.count)) {
        tarn::DataStreamFeedback packet;
        s.dev.readDataStream(packet); // a block converted before a short one still counts
        if (!seen.takeFrom(packet)) {
            if (!s.dev.isOpen()) {
                s.err << "tarnwell-cli: the unit was disconnected.\n";
                status = exit_status::kDeviceFailure;
                break;
            }
            continue; // nothing within the read's timeout: look at the flag again
        }
        const double seconds = std::chrono::duration<double>(s.clock() - start).count();
        s.out << (options.json  ? telemetryJson(seconds, seen)
                  : options.csv ? csvLine(seconds, seen)
                                : textLine(seconds, seen, s.locale))
              << '\n'
              << std::flush;
        if (!s.out) {
            break; // the reader went away (a closed pipe): stop as for an interrupt
        }
        ++printed;
    }
    return stopStream(s, status);
}

int runRelay(Session& s, std::uint32_t channel, tarn::RelayAction action) {
    std::string name;
    const bool named = s.dev.getChannelName(channel, &name);
    const std::string label =
        (channel < tarn::TarnInterface::kRelayChannels ? "Channel " + std::to_string(channel + 1)
                                                       : std::string("Inverter")) +
        (named ? " \"" + tarn::UnitText::toUtf8(name) + "\"" : "");
    if (!s.dev.sendRelayRequest(channel, action)) {
        s.err << "tarnwell-cli: " << label << ": the unit did not take the relay request.\n";
        return exit_status::kDeviceFailure;
    }
    const std::optional<std::string> state = reportedState(s, channel);
    s.out << label << ": request sent; "
          << (state ? "the unit reports " + *state : std::string("its state could not be read"))
          << ".\n";
    return exit_status::kSuccess;
}

} // namespace Corvane::cli
