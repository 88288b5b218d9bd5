// The references on Windows: SHA-1 by the system's CNG. Windows has no SEED,
// so the comparisons with a SEED reference are skipped there.
#include <gtest/gtest.h>

#include "openssl_reference.h"
#include "support/cng_sha1.h"

namespace otpcli::test {

std::array<unsigned char, 20> opensslSha1(const void* data, std::size_t size) {
    return cngSha1(data, size);
}

bool opensslSeedAvailable() {
    return false;
}

std::array<unsigned char, 16> opensslSeedEcb(const unsigned char*, const unsigned char*) {
    ADD_FAILURE() << "no SEED reference on this system";
    return {};
}

std::vector<unsigned char> opensslSeedCbc(const unsigned char*, const unsigned char*,
                                          const std::vector<unsigned char>&) {
    ADD_FAILURE() << "no SEED reference on this system";
    return {};
}

}  // namespace otpcli::test
