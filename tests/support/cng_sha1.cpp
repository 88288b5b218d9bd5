#include "support/cng_sha1.h"

#include <windows.h>
// clang-format off
#include <bcrypt.h>
// clang-format on

#include <stdexcept>

namespace otpcli::test {

std::array<unsigned char, 20> cngSha1(const void* data, std::size_t size) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA1_ALGORITHM, nullptr, 0) != 0) {
        throw std::runtime_error("BCryptOpenAlgorithmProvider(SHA1) failed");
    }
    std::array<unsigned char, 20> digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    const bool ok =
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
        BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size),
                       0) == 0 &&
        BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0) == 0;
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok) {
        throw std::runtime_error("SHA-1 by CNG failed");
    }
    return digest;
}

}  // namespace otpcli::test
