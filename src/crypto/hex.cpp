#include "crypto/sha1.h"

namespace otpcli {

void toHex(const unsigned char* bytes, int count, char* out) noexcept {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
}

}  // namespace otpcli
