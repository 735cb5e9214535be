#pragma once

#include "Packets.h"
#include "Session.h"
#include "TarnConfig.h"

#include <cstdint>
#include <string>

// The subcommands, on a unit that is open. Each returns an exit status (ExitStatus.h) and
// writes its report to the session's streams. None of them sends anything that changes the
// unit unless that is what it is for, and none closes the unit.
namespace Corvane::cli {

// With `json`, one JSON object (UnitInfo.h) that also names every output.
int runInfo(Session& s, bool json);

// Reads the whole configuration and writes it to `path` atomically. Items whose read fails
// are left out and named on the error stream (status 1, the file still written); nothing is
// written when the unit vanishes while it is read.
int runSave(Session& s, const std::string& path);

// Applies `file` (read from `path`) section by section, then reads every section sent back
// and names each item that does not hold what was sent (status 5). With `dryRun` only reads
// are made and the changes are listed. With `backup` the unit's configuration is first written
// to the session's backups; when a read fails (status 1) or the backup cannot be written
// (status 4) nothing is sent.
int runLoad(Session& s, const TarnConfig& file, const std::string& path, bool dryRun,
            bool backup = true);

struct WatchOptions {
    bool csv = false;
    bool json = false;  // one JSON object per packet (TelemetryJson.h)
    unsigned count = 0; // packets to show; 0: until interrupted
};
// Streams telemetry, one line per packet, until `count` packets, an interrupt (SIGINT, SIGTERM,
// SIGHUP) or a failed write to the output; the stream is switched off again in every case.
int runWatch(Session& s, const WatchOptions& options);

// Channel 0-11, or 12 for the inverter output. Reports the state the unit shows afterwards.
int runRelay(Session& s, std::uint32_t channel, tarn::RelayAction action);

} // namespace Corvane::cli
