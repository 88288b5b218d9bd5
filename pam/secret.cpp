#include "secret.h"

#include <string.h>

namespace otpcli::pam {

void wipe(void* bytes, std::size_t size) noexcept {
    if (bytes != nullptr && size > 0) {
        explicit_bzero(bytes, size);
    }
}

bool SecretBytes::append(std::string_view bytes) {
    if (bytes.size() > bytes_.capacity() - bytes_.size()) {
        return false;
    }
    bytes_.append(bytes);
    return true;
}

void SecretBytes::reset(std::size_t capacity) {
    clear();
    std::string fresh;
    fresh.reserve(capacity);
    bytes_.swap(fresh);  // the old buffer, already wiped, goes with fresh
}

void SecretBytes::clear() noexcept {
    // The whole capacity: a shorter text may have left bytes of a longer one.
    bytes_.resize(bytes_.capacity());
    wipe(bytes_.data(), bytes_.size());
    bytes_.clear();
}

}  // namespace otpcli::pam
