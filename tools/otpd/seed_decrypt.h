// SEED decryption, the inverse of the library's encrypt-only cipher: block
// decryption with the same round keys, and CBC decryption with the PKCS #7
// padding check.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "crypto/seed.h"

namespace otpd {

// Decrypts one block in place: four words, word 0 from bytes 0 to 3, most
// significant byte first.
void seedDecryptBlock(const otpcli::SeedRoundKeys& roundKeys, std::uint32_t* block) noexcept;

// Decrypts sealed bytes (a non-zero multiple of 16) in CBC mode and removes the
// padding. Nullopt when the length is wrong or the padding does not check out.
std::optional<std::vector<unsigned char>> seedCbcDecrypt(const otpcli::SeedRoundKeys& roundKeys,
                                                         const std::uint32_t* iv,
                                                         std::span<const unsigned char> sealed);

}  // namespace otpd
