// The one routine through which requests take heap memory, so that tests can
// make any single allocation fail and see what released memory holds.
#pragma once

#include <cstddef>
#include <memory>

namespace otpcli {

// size bytes, or null when the memory cannot be had.
void* allocate(std::size_t size) noexcept;
// Wipes the size bytes of block, then releases it: the library's buffers may
// hold a resident registration number, an identity text or an OTP. A null
// block is ignored.
void release(void* block, std::size_t size) noexcept;

struct Release {
    std::size_t size = 0;
    void operator()(void* block) const noexcept { release(block, size); }
};

// A byte buffer owned for the length of one call, wiped when it is released.
using ByteBuffer = std::unique_ptr<unsigned char[], Release>;

inline ByteBuffer allocateBytes(std::size_t size) noexcept {
    return ByteBuffer(static_cast<unsigned char*>(allocate(size)), Release{size});
}

// Test seam: from now on on this thread, the k-th allocation (1-based) fails;
// 0 turns it off. Returns the allocations counted since the last call.
int failAllocationAt(int k) noexcept;

// Test seam: on this thread, every block is shown to watcher (with context)
// after its wipe and just before it is released; null stops it.
using ReleaseWatcher = void (*)(const unsigned char* block, std::size_t size, void* context);
void watchReleases(ReleaseWatcher watcher, void* context) noexcept;

}  // namespace otpcli
