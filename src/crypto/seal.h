// Sealing: a SEED key and IV derived by iterated SHA-1, PKCS #7 padding and
// SEED-CBC encryption.
#pragma once

#include <cstdint>

#include "crypto/seed.h"

namespace otpcli {

struct SealingKey {
    SeedRoundKeys roundKeys;
    std::uint32_t iv[4];
};

// Size of the sealed form of length bytes: the next multiple of 16 above it;
// -1 when that is beyond INT_MAX.
int sealedLength(int length) noexcept;

// Derives the key from keyBytes hashed `iterations` times (at least once).
void deriveSealingKey(const unsigned char* keyBytes, int keyLength, int iterations,
                      SealingKey& key) noexcept;

// Copies input to output, pads it and encrypts it in place in CBC mode; returns
// the padded length. output holds sealedLength(length) bytes. A negative length,
// or one without a sealed length, gives -1 and writes nothing.
int seedCbcEncrypt(const SeedRoundKeys& roundKeys, const std::uint32_t* iv,
                   const unsigned char* input, int length, unsigned char* output) noexcept;

// Seals input under a key derived from keyBytes. Returns the sealed length, or
// -1 with errno EINVAL (output untouched) for a null pointer, a length of 0 or
// less, or an input too long for its sealed length to be an int. The derived key
// material is wiped before returning.
int seal(const unsigned char* keyBytes, int keyLength, int iterations, const unsigned char* input,
         int length, unsigned char* output) noexcept;

}  // namespace otpcli
