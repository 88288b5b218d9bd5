#include "client/allocation.h"

#include <cstdlib>

#include "crypto/wipe.h"

namespace otpcli {
namespace {
thread_local int failAt = 0;
thread_local int counted = 0;
thread_local ReleaseWatcher releaseWatcher = nullptr;
thread_local void* watcherContext = nullptr;
}  // namespace

void* allocate(std::size_t size) noexcept {
    ++counted;
    if (failAt > 0 && counted == failAt) {
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void release(void* block, std::size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    wipe(block, size);
    if (releaseWatcher != nullptr) {
        releaseWatcher(static_cast<const unsigned char*>(block), size, watcherContext);
    }
    std::free(block);
}

int failAllocationAt(int k) noexcept {
    const int before = counted;
    failAt = k;
    counted = 0;
    return before;
}

void watchReleases(ReleaseWatcher watcher, void* context) noexcept {
    releaseWatcher = watcher;
    watcherContext = context;
}

}  // namespace otpcli
