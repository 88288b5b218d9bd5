#include "client/allocation.h"

#include <cstdlib>

namespace otpcli {
namespace {
thread_local int failAt = 0;
thread_local int counted = 0;
}  // namespace

void* allocate(std::size_t size) noexcept {
    ++counted;
    if (failAt > 0 && counted == failAt) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void release(void* block) noexcept {
    std::free(block);
}

int failAllocationAt(int k) noexcept {
    const int before = counted;
    failAt = k;
    counted = 0;
    return before;
}

}  // namespace otpcli
