#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace Corvane {

// The extremes of a block of kSize consecutive storage slots of one series, so decimation over a
// long span takes a whole block at once. A block holding a NaN is not `clean` and is read sample
// by sample instead.
//
// The fields have no initialisers, so that the history's summaries for a whole hour take no
// memory until written: start() sets every field, and only blocks whose first slot was written
// are ever read.
struct BlockSummary {
    static constexpr std::size_t kSize = 16;

    float min;
    float max;
    std::uint8_t minAt; // first slot holding min
    std::uint8_t maxAt; // first slot holding max
    bool clean;

    // Starts a block with its first slot's value.
    void start(float v) {
        min = v;
        max = v;
        minAt = 0;
        maxAt = 0;
        clean = !std::isnan(v);
    }
    // Adds the value of slot `at` (slots arrive in order).
    void extend(float v, std::uint8_t at) {
        if (std::isnan(v)) {
            clean = false;
        } else if (!clean) {
            // A dirty block is never used, so its extremes need no care.
        } else if (v < min) {
            min = v;
            minAt = at;
        } else if (v > max) {
            max = v;
            maxAt = at;
        }
    }
    static BlockSummary of(std::span<const float> block) {
        BlockSummary s{0, 0, 0, 0, true};
        for (std::size_t i = 0; i < block.size(); ++i) {
            i == 0 ? s.start(block[i]) : s.extend(block[i], static_cast<std::uint8_t>(i));
        }
        return s;
    }
};

} // namespace Corvane
