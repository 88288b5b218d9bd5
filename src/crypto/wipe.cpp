#include "crypto/wipe.h"

#include <string.h>

namespace otpcli {

void wipeBytes(void* bytes, std::size_t size) noexcept {
    if (bytes == nullptr || size == 0) {
        return;
    }
    explicit_bzero(bytes, size);
}

}  // namespace otpcli
