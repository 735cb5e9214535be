#pragma once

#include "BackupStore.h"
#include "TarnInterface.h"

#include <chrono>

namespace Corvane::cli {

// The time a session's watch lines count from: the steady clock, which never jumps.
std::chrono::nanoseconds steadyNow();

// The body of both terminal programs' main, on the real or the simulated bus: runs the command
// line on `dev` for the terminal (standard output and error, the user's locale, the steady
// clock), keeping backups in `backups`, and returns the exit status.
int runInTerminal(int argc, char** argv, tarn::TarnInterface& dev, mapping::BackupStore backups);

} // namespace Corvane::cli
