#include "crypto/seal.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "crypto/big_endian.h"
#include "crypto/sha1.h"
#include "crypto/wipe.h"

namespace otpcli {
namespace {

constexpr int kBlockBytes = 16;

}  // namespace

int sealedLength(int length) noexcept {
    const long long sealed = static_cast<long long>(length) - length % kBlockBytes + kBlockBytes;
    // A length near INT_MAX has no sealed size that an int can hold.
    return sealed > INT_MAX ? -1 : static_cast<int>(sealed);
}

void deriveSealingKey(const unsigned char* keyBytes, int keyLength, int iterations,
                      SealingKey& key) noexcept {
    Sha1 sha1;
    unsigned char digest[Sha1::kDigestBytes];
    sha1.digest(keyBytes, keyLength, digest);
    for (int i = 1; i < iterations; ++i) {
        sha1.digest(digest, sizeof digest, digest);
    }
    seedKeySchedule(digest, key.roundKeys);

    unsigned char ivDigest[Sha1::kDigestBytes];
    sha1.digest(digest + 16, 4, ivDigest);
    for (int i = 0; i < 4; ++i) {
        key.iv[i] = loadBigEndian(ivDigest + 4 * i);
    }
    wipe(digest, sizeof digest);
    wipe(ivDigest, sizeof ivDigest);
}

int seedCbcEncrypt(const SeedRoundKeys& roundKeys, const std::uint32_t* iv,
                   const unsigned char* input, int length, unsigned char* output) noexcept {
    const int padded = sealedLength(length);
    if (length < 0 || padded < 0) {
        return -1;
    }
    if (length > 0) {
        std::memmove(output, input, static_cast<std::size_t>(length));
    }
    const int pad = padded - length;
    std::memset(output + length, pad, static_cast<std::size_t>(pad));

    std::uint32_t chain[4] = {iv[0], iv[1], iv[2], iv[3]};
    for (unsigned char* block = output; block != output + padded; block += kBlockBytes) {
        for (int i = 0; i < 4; ++i) {
            chain[i] ^= loadBigEndian(block + 4 * i);
        }
        seedEncryptBlock(roundKeys, chain);
        for (int i = 0; i < 4; ++i) {
            storeBigEndian(chain[i], block + 4 * i);
        }
    }
    return padded;
}

int seal(const unsigned char* keyBytes, int keyLength, int iterations, const unsigned char* input,
         int length, unsigned char* output) noexcept {
    if (keyBytes == nullptr || keyLength <= 0 || input == nullptr || length <= 0 ||
        output == nullptr || sealedLength(length) < 0) {
        errno = EINVAL;
        return -1;
    }
    SealingKey key;
    deriveSealingKey(keyBytes, keyLength, iterations, key);
    const int sealed = seedCbcEncrypt(key.roundKeys, key.iv, input, length, output);
    wipeObject(key);
    return sealed;
}

}  // namespace otpcli
