#include "crypto/seed.h"

#include "crypto/big_endian.h"
#include "crypto/seed_round.h"
#include "crypto/wipe.h"

namespace otpcli {
namespace {

// Right shift of the word taken as a signed integer: it fills with copies of
// the top bit.
inline std::uint32_t shiftRightSigned(std::uint32_t x, int bits) noexcept {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(x) >> bits);
}

}  // namespace

void seedKeySchedule(const unsigned char* key, SeedRoundKeys& roundKeys) noexcept {
    std::uint32_t k[4];
    for (int i = 0; i < 4; ++i) {
        k[i] = loadBigEndian(key + 4 * i);
    }
    for (int i = 0; i < 16; ++i) {
        roundKeys.words[2 * i] = seedG(k[0] + k[2] - KC[i]);
        roundKeys.words[2 * i + 1] = seedG(k[1] - k[3] + KC[i]);
        // K0:K1 moves eight bits right after even rounds, K2:K3 eight bits left
        // after odd ones. The right shifts are signed: where the shifted word has
        // its top bit set, ones come in instead of the other word's bits.
        if (i % 2 == 0) {
            const std::uint32_t k0 = k[0];
            k[0] = shiftRightSigned(k[0], 8) ^ (k[1] << 24);
            k[1] = shiftRightSigned(k[1], 8) ^ (k0 << 24);
        } else {
            const std::uint32_t k2 = k[2];
            k[2] = (k[2] << 8) ^ shiftRightSigned(k[3], 24);
            k[3] = (k[3] << 8) ^ shiftRightSigned(k2, 24);
        }
    }
    wipe(k, sizeof k);
}

void seedEncryptBlock(const SeedRoundKeys& roundKeys, std::uint32_t* block) noexcept {
    std::uint32_t left0 = block[0];
    std::uint32_t left1 = block[1];
    std::uint32_t right0 = block[2];
    std::uint32_t right1 = block[3];
    // Two rounds per pass, the halves trading places instead of being swapped.
    for (int i = 0; i < 32; i += 4) {
        seedRound(left0, left1, right0, right1, roundKeys.words + i);
        seedRound(right0, right1, left0, left1, roundKeys.words + i + 2);
    }
    // The last round has no exchange: what the loop calls right is the left half.
    block[0] = right0;
    block[1] = right1;
    block[2] = left0;
    block[3] = left1;
}

}  // namespace otpcli
