#pragma once

// What the random operator's process watches beside the test itself: exceptions that reached
// the Qt event loop (caught by the application's notify()), and the step it was at when a
// crash or a sanitizer report ends the process, printed on the way out so that it can be
// replayed.

#include <string>
#include <vector>

namespace monkey {

// The exceptions that reached the event loop since the last call.
std::vector<std::string> takeEscapes();
void noteEscape(std::string what);

// The step a crash would have happened in ("seed 7, action 1234: click button1").
void noteStep(const std::string& step);
// Prints the noted step when a sanitizer or a fatal signal ends the process.
void installCrashNote();

} // namespace monkey
