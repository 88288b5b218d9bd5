#include <array>
#include <cstring>

#include "crypto/sha1.h"

namespace otpcli {
namespace {

// The two characters of every byte value, so that a byte costs one lookup.
constexpr std::array<char, 512> kPairs = [] {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (int b = 0; b < 256; ++b) {
        pairs[2 * b] = kDigits[b >> 4];
        pairs[2 * b + 1] = kDigits[b & 0x0F];
    }
    return pairs;
}();

}  // namespace

void toHex(const unsigned char* bytes, int count, char* out) noexcept {
    for (int i = 0; i < count; ++i) {
        std::memcpy(out + 2 * i, &kPairs[2 * bytes[i]], 2);
    }
}

}  // namespace otpcli
