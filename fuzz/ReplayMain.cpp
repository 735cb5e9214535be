// Runs a fuzz target's entry point over every file of the given directories (or the given
// files), so the seed corpus and every kept crash input are ordinary tests in every build.
// Names starting with a dot (.gitkeep) are skipped; a directory that does not exist is an
// error, and so is running no input at all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool collect(const fs::path& path, std::vector<fs::path>& files) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        files.push_back(path);
        return true;
    }
    if (!fs::is_directory(path, ec)) {
        std::fprintf(stderr, "replay: %s is neither a file nor a directory\n", path.c_str());
        return false;
    }
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return !ec;
}

bool replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    // A heap block of exactly the input's size, as libFuzzer passes it, so that AddressSanitizer
    // sees any read past the end.
    const std::size_t size = bytes.size();
    const auto copy = std::make_unique<uint8_t[]>(std::max<std::size_t>(size, 1));
    std::copy(bytes.begin(), bytes.end(), copy.get());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), size);
    LLVMFuzzerTestOneInput(copy.get(), size);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        ok = collect(argv[i], files) && ok;
    }
    for (const auto& file : files) {
        ok = replay(file) && ok;
    }
    std::printf("replay: %zu inputs\n", files.size());
    if (files.empty()) {
        std::fprintf(stderr, "replay: no input to run\n");
        return 1;
    }
    return ok ? 0 : 1;
}
