// Erases secrets in a way the compiler may not optimise away.
#pragma once

#include <cstddef>

namespace otpcli {

void wipe(void* bytes, std::size_t size) noexcept;

template <typename T>
void wipeObject(T& object) noexcept {
    wipe(&object, sizeof object);
}

}  // namespace otpcli
