// tarnwell-cli: the Tarnwell unit from a terminal, on the same device and configuration layers
// as the window, over the system's libusb.

#include "Cli.h"
#include "TarnConfig.h"
#include "TarnUsb.h"

#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A closed pipe (watch | head) must show as a failed write, so that watch can still switch
    // the unit's stream off, rather than end the program at once.
    std::signal(SIGPIPE, SIG_IGN);

    // Destroying the device closes USB without sending anything: commands that only read
    // leave the unit exactly as they found it.
    tarn::TarnUsb dev;
    Corvane::cli::Session session{
        dev,
        std::cout,
        std::cerr,
        // The configuration layer's choice of the user's locale, which the window shares.
        Corvane::TarnConfig().getLocale(),
        [] {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
        },
    };
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Corvane::cli::runCli(args, session);
}
