// Erases secrets in a way the compiler may not optimise away.
#pragma once

#include <cstddef>
#include <cstring>

namespace otpcli {

void wipe(void* bytes, std::size_t size) noexcept;

// wipe() inline, for the small buffers of hot paths: a memset followed by an
// empty statement that is said to read the memory, so the stores cannot be
// dropped as dead. Where that cannot be said, wipe() itself.
inline void wipeInline(void* bytes, std::size_t size) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    std::memset(bytes, 0, size);
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
#else
    wipe(bytes, size);
#endif
}

template <typename T>
void wipeObject(T& object) noexcept {
    wipe(&object, sizeof object);
}

// Wipes an object of the enclosing scope when the scope ends, on every path
// out of it.
template <typename T>
class WipeOnExit {
  public:
    explicit WipeOnExit(T& object) noexcept : object_(object) {}
    ~WipeOnExit() { wipeInline(&object_, sizeof object_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

  private:
    T& object_;
};

}  // namespace otpcli
