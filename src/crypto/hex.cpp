#include <array>
#include <cstddef>
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

// The same pairs as UTF-16 units.
constexpr std::array<char16_t, 512> kUnitPairs = [] {
    std::array<char16_t, 512> units{};
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(kPairs[i]);
    }
    return units;
}();

}  // namespace

void toHex(const unsigned char* bytes, int count, char* out) noexcept {
    for (int i = 0; i < count; ++i) {
        std::memcpy(out + 2 * i, &kPairs[2 * bytes[i]], 2);
    }
}

void toHexUnits(const unsigned char* bytes, int count, void* out) noexcept {
    auto* units = static_cast<unsigned char*>(out);
    for (int i = 0; i < count; ++i) {
        std::memcpy(units + 2 * i * sizeof(char16_t), &kUnitPairs[2 * bytes[i]],
                    2 * sizeof(char16_t));
    }
}

}  // namespace otpcli
