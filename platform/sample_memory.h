// Memory for whole-file sample arrays: malloc'd, released with free. Each is
// written once, front to back or back to front, so the first touch of its
// pages is much of what a file conversion costs (bench/RESULTS.md).
#pragma once

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#    include <sys/mman.h>
#endif

// Owns a sample array, or any other malloc'd block.
struct sample_memory_free {
    void operator()(void* p) const { std::free(p); }
};

inline void* alloc_sample_memory(std::size_t bytes) {
    void* p = std::malloc(bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Where huge pages are granted only on request, ask for them on the
    // aligned interior: one fault then maps 2 MiB instead of 4 KiB. A refusal
    // leaves ordinary pages, so the result is not checked.
    constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t start = (at + huge - 1) & ~(huge - 1);
    const std::uintptr_t end = (at + bytes) & ~(huge - 1);
    if (p != nullptr && end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#endif
    return p;
}
