#pragma once

#include <cstddef>
#include <span>

namespace Corvane {

// A run of consecutive elements of a ring buffer, oldest first: at most two contiguous pieces,
// the second continuing at the start of the storage where the first reaches its end.
template <typename T>
struct RingSlice {
    std::span<const T> first;
    std::span<const T> second;
    std::size_t origin = 0; // the storage index of first's first element (second's is 0)

    std::size_t size() const { return first.size() + second.size(); }
    bool empty() const { return size() == 0; }

    const T& operator[](std::size_t i) const {
        return i < first.size() ? first[i] : second[i - first.size()];
    }

    // Calls f(piece, offset) for the contiguous pieces covering elements [from, to) of the run,
    // offset being the run index of the piece's first element.
    template <typename F>
    void forPieces(std::size_t from, std::size_t to, F&& f) const {
        if (from >= to) {
            return;
        }
        if (from < first.size()) {
            const std::size_t end = to < first.size() ? to : first.size();
            f(first.subspan(from, end - from), from);
        }
        if (to > first.size()) {
            const std::size_t start = from > first.size() ? from - first.size() : 0;
            f(second.subspan(start, to - first.size() - start), first.size() + start);
        }
    }
};

} // namespace Corvane
