#include "ProcessWatch.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's interface (GCC ships the runtime but not its header).
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));

// UndefinedBehaviorSanitizer runs a copy of the runtime of its own, whose end the death callback
// does not see; ending through abort() instead, it passes the SIGABRT handler below.
extern "C" const char* __ubsan_default_options() {
    return "abort_on_error=1";
}
#endif

namespace monkey {
namespace {

std::vector<std::string> escapes;

// Written before every step, read only on the way out: no allocation there.
char note[512] = {};

void printNote() {
    const char* lead = "\nrandom operator died at ";
    (void)!::write(STDERR_FILENO, lead, std::strlen(lead));
    (void)!::write(STDERR_FILENO, note, std::strlen(note));
    (void)!::write(STDERR_FILENO, "\n", 1);
}

extern "C" void onHang(int) {
    const char* lead = "\nrandom operator hung";
    (void)!::write(STDERR_FILENO, lead, std::strlen(lead));
    printNote();
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

extern "C" void onFatalSignal(int signal) {
    printNote();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

std::vector<std::string> takeEscapes() {
    return std::exchange(escapes, {});
}

void noteEscape(std::string what) {
    escapes.push_back(std::move(what));
}

void noteStep(const std::string& step) {
    const std::size_t n = std::min(step.size(), sizeof note - 1);
    std::memcpy(note, step.data(), n);
    note[n] = '\0';
    ::alarm(kHangSeconds);
}

void endSteps() {
    ::alarm(0);
}

void installCrashNote() {
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(printNote);
#endif
    std::signal(SIGABRT, onFatalSignal);
    std::signal(SIGALRM, onHang);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reports these itself, and its death callback prints the note.
    std::signal(SIGSEGV, onFatalSignal);
    std::signal(SIGBUS, onFatalSignal);
    std::signal(SIGFPE, onFatalSignal);
#endif
}

} // namespace monkey
