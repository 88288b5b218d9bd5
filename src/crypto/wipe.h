// Erases secrets in a way the compiler may not optimise away.
#pragma once

#include <cstddef>
#include <cstring>

namespace otpcli {

// The library call that erases; wipe() uses it where it cannot fence a memset.
void wipeBytes(void* bytes, std::size_t size) noexcept;

inline void wipe(void* bytes, std::size_t size) noexcept {
    if (bytes == nullptr || size == 0) {
        return;
    }
#if defined(__GNUC__) || defined(__clang__)
    // An inline memset that the empty statement, said to read that memory, keeps
    // from being dropped as a dead store.
    std::memset(bytes, 0, size);
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
#else
    wipeBytes(bytes, size);
#endif
}

template <typename T>
void wipeObject(T& object) noexcept {
    wipe(&object, sizeof object);
}

}  // namespace otpcli
