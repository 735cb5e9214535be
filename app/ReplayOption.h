#pragma once

#include "SimReplay.h"

#include <memory>
#include <string>

namespace tarnsim {

// `--replay FILE.csv [--loop]`: the simulated unit streams a telemetry recording instead of its
// model's values.
struct ReplayOption {
    std::unique_ptr<sim::SimReplay> replay; // none without --replay
    std::string error;                      // why the option or its file was refused

    static ReplayOption parse(int argc, char** argv);
};

} // namespace tarnsim
