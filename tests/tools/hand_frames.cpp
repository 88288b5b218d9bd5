#include "tools/hand_frames.h"

#include <cstdio>
#include <vector>

#include "crypto/seal.h"
#include "crypto/sha1.h"

namespace otpcli::test {

std::string sealedBlock(const std::string& plain, const std::string& keyMaterial) {
    unsigned char digest[Sha1::kDigestBytes];
    Sha1 sha;
    sha.digest(reinterpret_cast<const unsigned char*>(keyMaterial.data()),
               static_cast<int>(keyMaterial.size()), digest);
    const int length = static_cast<int>(plain.size());
    std::vector<unsigned char> sealed(static_cast<std::size_t>(sealedLength(length)));
    const int n = seal(digest, Sha1::kDigestBytes, 5,
                       reinterpret_cast<const unsigned char*>(plain.data()), length, sealed.data());
    if (n <= 0) {
        return {};
    }
    std::string hex(static_cast<std::size_t>(2 * n), '\0');
    toHex(sealed.data(), n, hex.data());
    return hex;
}

std::string handFrame(const std::string& transactionCode, const std::string& site,
                      const std::string& rest, const std::string& identityField) {
    std::string siteField = site;
    siteField.resize(32, '\0');
    const std::string body = identityField + transactionCode + siteField + rest;
    char length[6];
    std::snprintf(length, sizeof length, "%05zu", body.size());
    return length + body;
}

}  // namespace otpcli::test
