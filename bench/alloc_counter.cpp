#include "alloc_counter.h"

#include <cstdlib>

// The C library's own allocator, under its internal names.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace {
// Plain thread-locals of the executable need no allocation of their own.
thread_local long allocations = 0;
thread_local long releases = 0;
thread_local std::size_t bytes = 0;
}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    ++allocations;
    bytes += size;
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    ++allocations;
    bytes += count * size;
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) {
    if (block == nullptr) {
        ++allocations;
    }
    bytes += size;
    return __libc_realloc(block, size);
}

void free(void* block) {
    if (block != nullptr) {
        ++releases;
    }
    __libc_free(block);
}

}  // extern "C"

namespace otpcli::bench {

AllocCount threadAllocations() noexcept {
    return {allocations, releases, bytes};
}

bool allocationCounting() noexcept {
    const long before = allocations;
    void* volatile probe = std::malloc(1);
    std::free(probe);
    return allocations == before + 1;
}

}  // namespace otpcli::bench
