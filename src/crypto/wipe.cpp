#include "crypto/wipe.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <string.h>
#endif

namespace otpcli {

void wipe(void* bytes, std::size_t size) noexcept {
    if (bytes == nullptr || size == 0) {
        return;
    }
#if defined(_WIN32)
    SecureZeroMemory(bytes, size);
#else
    explicit_bzero(bytes, size);
#endif
}

}  // namespace otpcli
