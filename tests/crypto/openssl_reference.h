// OpenSSL as an independent reference for SHA-1 and SEED (on Windows: the
// system's CNG for SHA-1, and no SEED).
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace otpcli::test {

std::array<unsigned char, 20> opensslSha1(const void* data, std::size_t size);

// SEED lives in OpenSSL's legacy provider, which a machine may lack.
bool opensslSeedAvailable();

// SEED-ECB encryption of one 16-byte block under a 16-byte key.
std::array<unsigned char, 16> opensslSeedEcb(const unsigned char* key, const unsigned char* block);

// SEED-CBC encryption with PKCS #7 padding.
std::vector<unsigned char> opensslSeedCbc(const unsigned char* key, const unsigned char* iv,
                                          const std::vector<unsigned char>& data);

}  // namespace otpcli::test
