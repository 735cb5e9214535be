#include "HeapMeter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

#if !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#endif

namespace soak {
namespace {

// Qt may allocate from threads of its own; a relaxed count is exact once they are quiet.
constinit std::atomic<std::int64_t> liveBlocks{0};

void countAllocation(const void* block) {
    if (block != nullptr) {
        liveBlocks.fetch_add(1, std::memory_order_relaxed);
    }
}

void countRelease(const void* block) {
    if (block != nullptr) {
        liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    }
}

// Read without the heap, so that measuring does not move what it measures.
std::int64_t residentBytes() {
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    char text[128] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) {
        return -1;
    }
    // "size resident shared ...", in pages.
    char* rest = nullptr;
    std::strtoll(text, &rest, 10);
    const long long pages = std::strtoll(rest, nullptr, 10);
    return static_cast<std::int64_t>(pages) * ::sysconf(_SC_PAGESIZE);
}

} // namespace
} // namespace soak

#if defined(__SANITIZE_ADDRESS__)

// AddressSanitizer owns malloc here; its hooks see every allocation and release, new and
// delete included.
extern "C" {
// The sanitizer runtime's allocator interface (GCC ships the runtime but not its header).
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                              void (*onFree)(const volatile void*));
std::size_t __sanitizer_get_current_allocated_bytes();
}

namespace soak {
namespace {

void onMalloc(const volatile void* block, std::size_t) {
    countAllocation(const_cast<const void*>(block));
}

void onFree(const volatile void* block) {
    countRelease(const_cast<const void*>(block));
}

[[maybe_unused]] const int hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);

} // namespace

HeapSample sampleHeap() {
    return {liveBlocks.load(std::memory_order_relaxed),
            static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes()), residentBytes()};
}

const char* heapSource() {
    return "AddressSanitizer allocator (malloc hooks, current allocated bytes)";
}

bool residentMemoryMeaningful() {
    return false;
}

} // namespace soak

#else

// Without a sanitizer the program's own malloc family stands in front of glibc's (glibc lets a
// program replace malloc this way), so that every block is counted, Qt's string data as much
// as objects made with new. The blocks themselves are still glibc's: mallinfo2 reports their
// bytes and malloc_usable_size keeps working on them.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void* __libc_valloc(std::size_t size);
void* __libc_pvalloc(std::size_t size);
void __libc_free(void* block);

void* malloc(std::size_t size) noexcept {
    void* block = __libc_malloc(size);
    soak::countAllocation(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    void* block = __libc_calloc(count, size);
    soak::countAllocation(block);
    return block;
}

void* realloc(void* block, std::size_t size) noexcept {
    if (block == nullptr) {
        return malloc(size);
    }
    void* moved = __libc_realloc(block, size);
    if (moved == nullptr && size == 0) {
        soak::countRelease(block); // glibc frees the block and returns nothing
    }
    return moved;
}

void* reallocarray(void* block, std::size_t count, std::size_t size) noexcept {
    std::size_t total = 0;
    if (__builtin_mul_overflow(count, size, &total)) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(block, total);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
    void* block = __libc_memalign(alignment, size);
    soak::countAllocation(block);
    return block;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    return memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    void* block = memalign(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    *out = block;
    return 0;
}

void* valloc(std::size_t size) noexcept {
    void* block = __libc_valloc(size);
    soak::countAllocation(block);
    return block;
}

void* pvalloc(std::size_t size) noexcept {
    void* block = __libc_pvalloc(size);
    soak::countAllocation(block);
    return block;
}

void free(void* block) noexcept {
    soak::countRelease(block);
    __libc_free(block);
}
}

namespace soak {

HeapSample sampleHeap() {
    const struct mallinfo2 info = ::mallinfo2();
    return {liveBlocks.load(std::memory_order_relaxed),
            static_cast<std::int64_t>(info.uordblks + info.hblkhd), residentBytes()};
}

const char* heapSource() {
    return "glibc malloc (every block counted in front of it, bytes from mallinfo2)";
}

bool residentMemoryMeaningful() {
    return true;
}

} // namespace soak

#endif
