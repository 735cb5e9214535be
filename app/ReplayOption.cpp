#include "ReplayOption.h"

#include "TelemetryCsv.h"

#include <fstream>
#include <sstream>
#include <string_view>

namespace tarnsim {

ReplayOption ReplayOption::parse(int argc, char** argv) {
    ReplayOption option;
    const char* path = nullptr;
    bool loop = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--replay") {
            if (i + 1 >= argc) {
                option.error = "--replay needs a CSV file";
                return option;
            }
            path = argv[++i];
        } else if (arg == "--loop") {
            loop = true;
        }
    }
    if (path == nullptr) {
        if (loop) {
            option.error = "--loop goes with --replay FILE.csv";
        }
        return option;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in) {
        bytes << in.rdbuf(); // an empty file fails only `bytes`, and is told as one below
    }
    if (!in || in.bad()) {
        option.error = std::string(path) + ": cannot be read";
        return option;
    }
    const std::string text = std::move(bytes).str();
    Corvane::TelemetryCsvFile file = Corvane::readTelemetryCsv(text);
    if (!file.ok()) {
        option.error = std::string(path) + ":" + std::to_string(file.errorLine) + ": " + file.error;
        return option;
    }
    if (file.rows.empty()) {
        option.error = std::string(path) + ": the recording has no lines";
        return option;
    }
    option.replay = std::make_unique<sim::SimReplay>(std::move(file.rows), loop);
    return option;
}

} // namespace tarnsim
