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

// Under AddressSanitizer resident memory is the sanitizer's: its quarantine keeps freed blocks
// (up to 256 MB) and its stack depot keeps every new allocation stack, so it climbs for hours
// whatever the program does. There only the live blocks are judged; resident memory is judged
// in the build without a sanitizer.
bool residentMemoryMeaningful();

} // namespace soak
