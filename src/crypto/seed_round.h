// SEED's G function and one round of its Feistel network, shared by the
// library's encryption and the stand-in service's decryption.
#pragma once

#include <cstdint>

#include "crypto/seed.h"

namespace otpcli {

inline std::uint32_t seedG(std::uint32_t x) noexcept {
    return SS0[x & 0xFF] ^ SS1[(x >> 8) & 0xFF] ^ SS2[(x >> 16) & 0xFF] ^ SS3[x >> 24];
}

// XORs F(right, roundKey) into left; roundKey points at the round's two words.
inline void seedRound(std::uint32_t& left0, std::uint32_t& left1, std::uint32_t right0,
                      std::uint32_t right1, const std::uint32_t* roundKey) noexcept {
    std::uint32_t t0 = right0 ^ roundKey[0];
    std::uint32_t t1 = right1 ^ roundKey[1];
    t1 = seedG(t1 ^ t0);
    t0 = seedG(t0 + t1);
    t1 = seedG(t1 + t0);
    t0 += t1;
    left0 ^= t0;
    left1 ^= t1;
}

}  // namespace otpcli
