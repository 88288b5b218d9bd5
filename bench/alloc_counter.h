// Heap allocations made by the calling thread, counted by the malloc family
// that a benchmark executable linking alloc_counter.cpp puts in front of the C
// library's. Shared libraries loaded by that executable allocate through it too.
#pragma once

#include <cstddef>

namespace otpcli::bench {

struct AllocCount {
    long allocations = 0;  // malloc, calloc, realloc of a null block
    long releases = 0;     // free of a non-null block
    std::size_t bytes = 0;
};

// What the calling thread has done so far.
AllocCount threadAllocations() noexcept;

// True when the counting functions are in place (the executable links them).
bool allocationCounting() noexcept;

}  // namespace otpcli::bench
