#include "crypto/wipe.h"

#include <string.h>

namespace otpcli {

void wipe(void* bytes, std::size_t size) noexcept {
    if (bytes == nullptr || size == 0) {
        return;
    }
    explicit_bzero(bytes, size);
}

}  // namespace otpcli
