#pragma once

// What every fuzz target shares: taking typed values off the fuzzer's bytes, and failing loudly
// when a property does not hold (libFuzzer and the replay driver both stop on an abort).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace fuzz {

// Reads the input front to back. Past its end every read gives zeros or nothing, so a target
// never has to check for exhaustion before it decides what to do.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size)
        : bytes_(data, size) {}

    bool empty() const { return pos_ >= bytes_.size(); }
    std::size_t remaining() const { return bytes_.size() - pos_; }

    uint8_t byte() { return empty() ? uint8_t{0} : bytes_[pos_++]; }
    bool flag() { return (byte() & 1u) != 0; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    uint32_t u32() { return uint32_t{u16()} | (uint32_t{u16()} << 16); }
    // A value in [0, count); count must not be 0.
    std::size_t below(std::size_t count) { return byte() % count; }

    // Up to `n` bytes, fewer when the input ends first.
    std::vector<uint8_t> take(std::size_t n) {
        n = std::min(n, remaining());
        std::vector<uint8_t> out(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                 bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return out;
    }
    // A length byte, then that many bytes (at most `max`).
    std::vector<uint8_t> sized(std::size_t max) { return take(std::min<std::size_t>(byte(), max)); }
    std::span<const uint8_t> rest() {
        const auto out = bytes_.subspan(std::min(pos_, bytes_.size()));
        pos_ = bytes_.size();
        return out;
    }

private:
    std::span<const uint8_t> bytes_;
    std::size_t pos_ = 0;
};

[[noreturn]] inline void propertyFailed(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();
}

} // namespace fuzz

// A property of the code under test; a failure is a finding, reported like a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            ::fuzz::propertyFailed(__FILE__, __LINE__, #condition);                                \
        }                                                                                          \
    } while (false)
