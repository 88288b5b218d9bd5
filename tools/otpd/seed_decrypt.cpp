#include "seed_decrypt.h"

#include <utility>

#include "crypto/big_endian.h"
#include "crypto/seed_round.h"

namespace otpd {
namespace {

constexpr std::size_t kBlockBytes = 16;

}  // namespace

void seedDecryptBlock(const otpcli::SeedRoundKeys& roundKeys, std::uint32_t* block) noexcept {
    // The Feistel network run with the round keys in reverse order; like the
    // encryption, the halves are exchanged after every round but the last.
    std::uint32_t l0 = block[0];
    std::uint32_t l1 = block[1];
    std::uint32_t r0 = block[2];
    std::uint32_t r1 = block[3];
    for (int i = 15; i >= 0; --i) {
        otpcli::seedRound(l0, l1, r0, r1, roundKeys.words + 2 * i);
        if (i > 0) {
            std::swap(l0, r0);
            std::swap(l1, r1);
        }
    }
    block[0] = l0;
    block[1] = l1;
    block[2] = r0;
    block[3] = r1;
}

std::optional<std::vector<unsigned char>> seedCbcDecrypt(const otpcli::SeedRoundKeys& roundKeys,
                                                         const std::uint32_t* iv,
                                                         std::span<const unsigned char> sealed) {
    if (sealed.empty() || sealed.size() % kBlockBytes != 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> plain(sealed.size());
    std::uint32_t chain[4] = {iv[0], iv[1], iv[2], iv[3]};
    for (std::size_t at = 0; at < sealed.size(); at += kBlockBytes) {
        std::uint32_t cipher[4];
        for (std::size_t w = 0; w < 4; ++w) {
            cipher[w] = otpcli::loadBigEndian(&sealed[at + 4 * w]);
        }
        std::uint32_t block[4] = {cipher[0], cipher[1], cipher[2], cipher[3]};
        seedDecryptBlock(roundKeys, block);
        for (std::size_t w = 0; w < 4; ++w) {
            otpcli::storeBigEndian(block[w] ^ chain[w], &plain[at + 4 * w]);
            chain[w] = cipher[w];
        }
    }
    const unsigned char pad = plain.back();
    if (pad == 0 || pad > kBlockBytes) {
        return std::nullopt;
    }
    for (std::size_t i = plain.size() - pad; i < plain.size(); ++i) {
        if (plain[i] != pad) {
            return std::nullopt;
        }
    }
    plain.resize(plain.size() - pad);
    return plain;
}

}  // namespace otpd
