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

bool utf8ToUtf16(std::string_view utf8, std::span<char16_t> out) noexcept {
    std::size_t used = 0;
    const auto put = [&](char16_t unit) {
        if (used + 1 >= out.size()) {
            return false;
        }
        out[used++] = unit;
        return true;
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (utf8.size() - i <= extra) {
            return false;
        }
        for (std::size_t j = 1; j <= extra; ++j) {
            const auto next = static_cast<unsigned char>(utf8[i + j]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            if (!put(static_cast<char16_t>(0xD800 + (cp >> 10))) ||
                !put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)))) {
                return false;
            }
        } else if (!put(static_cast<char16_t>(cp))) {
            return false;
        }
        i += extra + 1;
    }
    if (out.empty()) {
        return false;
    }
    out[used] = u'\0';
    return true;
}

}  // namespace otpcli::pam
