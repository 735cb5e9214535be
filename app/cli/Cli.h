#pragma once

#include "Session.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Corvane::cli {

// Runs one command line (the arguments after the program name): parses it, opens the unit
// when the command needs one, runs the command and returns the exit status (ExitStatus.h).
// Help and the version go to s.out, every error to s.err. The unit is not closed here.
int runCli(const std::vector<std::string>& args, Session& s);

// A relay channel as the user counts it: "1" to "12", or "inv" / "inverter" for the inverter
// output; the result is the device's channel index (0-11, 12 for the inverter).
std::optional<std::uint32_t> parseRelayChannel(std::string_view text);

} // namespace Corvane::cli
