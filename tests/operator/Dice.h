#pragma once

// The random operator's one source of chance. Every draw comes from one 64-bit Mersenne
// Twister reduced by plain modulo, so that a seed replays the same run with any standard
// library (the standard distributions are not the same everywhere).

#include <QString>

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>

namespace monkey {

class Dice {
public:
    explicit Dice(std::uint64_t seed)
        : engine_(seed) {}

    // 0 to n - 1; 0 when n is 0.
    std::size_t below(std::size_t n) { return n == 0 ? 0 : engine_() % n; }
    int between(int low, int high) {
        return low + static_cast<int>(below(static_cast<std::size_t>(high - low + 1)));
    }
    bool oneIn(std::size_t n) { return below(n) == 0; }
    template <typename T>
    const T& pick(std::span<const T> items) {
        return items[below(items.size())];
    }
    // The index of an entry drawn by weight.
    template <typename Entry>
    std::size_t weighted(std::span<const Entry> table) {
        int total = 0;
        for (const Entry& e : table) {
            total += e.weight;
        }
        int roll = between(0, total - 1);
        for (std::size_t i = 0; i < table.size(); ++i) {
            roll -= table[i].weight;
            if (roll < 0) {
                return i;
            }
        }
        return table.size() - 1;
    }

    // What a careless operator types: mostly digits and words, sometimes signs, separators,
    // letters the unit's code page has, letters it lacks, or far too much.
    QString text();
    // A number as typed: digits with a separator or sign now and then.
    QString number();

private:
    std::mt19937_64 engine_;
};

} // namespace monkey
