#pragma once

// What the random operator's process watches beside the test itself: exceptions that reached
// the Qt event loop (caught by the application's notify()), and the step it was at when a
// crash, a sanitizer report or a hang ends the process, printed on the way out so that it can
// be replayed.

#include <string>
#include <vector>

namespace monkey {

// The exceptions that reached the event loop since the last call.
std::vector<std::string> takeEscapes();
void noteEscape(std::string what);

// The step a crash would have happened in ("seed 7, action 1234: click button1"). A step that
// has not ended after kHangSeconds of real time counts as hung: the note is printed and the
// process aborted, rather than left for the test runner's timeout to kill without a word.
inline constexpr unsigned kHangSeconds = 60;
void noteStep(const std::string& step);
// No step is running any more.
void endSteps();
// Prints the noted step when a sanitizer or a fatal signal ends the process.
void installCrashNote();

} // namespace monkey
