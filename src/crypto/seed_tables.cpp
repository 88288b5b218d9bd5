// The constant tables of SEED, computed at compile time.
#include <array>
#include <bit>
#include <cstdint>

#include "crypto/seed.h"

namespace otpcli {
namespace {

using Byte = std::uint8_t;
using Table = std::array<std::uint32_t, 256>;

// Product in GF(2^8) modulo x^8 + x^6 + x^5 + x + 1.
constexpr Byte gfMultiply(Byte a, Byte b) {
    unsigned product = 0;
    unsigned shifted = a;
    for (; b != 0; b >>= 1) {
        if ((b & 1) != 0) {
            product ^= shifted;
        }
        shifted <<= 1;
        if ((shifted & 0x100) != 0) {
            shifted ^= 0x163;
        }
    }
    return static_cast<Byte>(product);
}

constexpr Byte gfPower(Byte x, unsigned exponent) {
    Byte result = 1;
    for (; exponent != 0; exponent >>= 1) {
        if ((exponent & 1) != 0) {
            result = gfMultiply(result, x);
        }
        x = gfMultiply(x, x);
    }
    return result;
}

// A linear map of bytes, given by the images of bits 0 to 7.
struct LinearMap {
    Byte columns[8];

    constexpr Byte operator()(Byte x) const {
        Byte y = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (((x >> bit) & 1) != 0) {
                y ^= columns[bit];
            }
        }
        return y;
    }
};

// The S-boxes are affine maps of powers: S1(x) = A1(x^247) + 0xA9 and
// S2(x) = A2(x^251) + 0x38, with 0 raised to any power giving 0.
constexpr LinearMap kA1{{0x2C, 0xD0, 0x69, 0xC2, 0x41, 0x44, 0x58, 0xE2}};
constexpr LinearMap kA2{{0xD0, 0x2A, 0xE1, 0x2C, 0x21, 0x30, 0xA2, 0x6C}};

constexpr Byte s1(Byte x) {
    return kA1(gfPower(x, 247)) ^ 0xA9;
}
constexpr Byte s2(Byte x) {
    return kA2(gfPower(x, 251)) ^ 0x38;
}

constexpr Byte kM0 = 0xFC;
constexpr Byte kM1 = 0xF3;
constexpr Byte kM2 = 0xCF;
constexpr Byte kM3 = 0x3F;

// Entry x holds S(x) under the four masks, from the most significant byte down.
constexpr Table makeTable(Byte (*sbox)(Byte), Byte hi, Byte upper, Byte lower, Byte lo) {
    Table table{};
    for (unsigned x = 0; x < 256; ++x) {
        const Byte s = sbox(static_cast<Byte>(x));
        table[x] = (std::uint32_t{static_cast<Byte>(s & hi)} << 24) |
                   (std::uint32_t{static_cast<Byte>(s & upper)} << 16) |
                   (std::uint32_t{static_cast<Byte>(s & lower)} << 8) |
                   std::uint32_t{static_cast<Byte>(s & lo)};
    }
    return table;
}

constexpr std::array<std::uint32_t, 16> makeKeyConstants() {
    std::array<std::uint32_t, 16> kc{};
    for (int i = 0; i < 16; ++i) {
        kc[i] = std::rotl(std::uint32_t{0x9E3779B9}, i);
    }
    return kc;
}

}  // namespace

constinit const Table SS0 = makeTable(s1, kM3, kM2, kM1, kM0);
constinit const Table SS1 = makeTable(s2, kM0, kM3, kM2, kM1);
constinit const Table SS2 = makeTable(s1, kM1, kM0, kM3, kM2);
constinit const Table SS3 = makeTable(s2, kM2, kM1, kM0, kM3);
constinit const std::array<std::uint32_t, 16> KC = makeKeyConstants();

}  // namespace otpcli
