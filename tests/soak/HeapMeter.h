#pragma once

#include <cstdint>

namespace soak {

// What the process holds at one instant: heap blocks allocated and not yet freed, the bytes
// they hold, and resident memory.
struct HeapSample {
    std::int64_t blocks = 0;
    std::int64_t bytes = 0;
    std::int64_t residentBytes = 0;
};

// Counting starts when the program is loaded; only differences between samples mean anything.
HeapSample sampleHeap();

// Which allocator the figures come from, for the report.
const char* heapSource();

} // namespace soak
