// The one routine through which requests take heap memory, so that tests can
// make any single allocation fail.
#pragma once

#include <cstddef>
#include <memory>

namespace otpcli {

// size bytes, or null when the memory cannot be had.
void* allocate(std::size_t size) noexcept;
void release(void* block) noexcept;

struct Release {
    void operator()(void* block) const noexcept { release(block); }
};

// A byte buffer owned for the length of one call.
using ByteBuffer = std::unique_ptr<unsigned char[], Release>;

inline ByteBuffer allocateBytes(std::size_t size) noexcept {
    return ByteBuffer(static_cast<unsigned char*>(allocate(size)));
}

// Test seam: from now on on this thread, the k-th allocation (1-based) fails;
// 0 turns it off. Returns the allocations counted since the last call.
int failAllocationAt(int k) noexcept;

}  // namespace otpcli
