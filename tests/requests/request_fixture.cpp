#include "requests/request_fixture.h"

#include <array>

#include "crypto/seal.h"

#if defined(_WIN32)
#include "support/cng_sha1.h"
#else
#include <openssl/sha.h>
#endif

namespace otpcli::test {
namespace {

// The reference SHA-1: OpenSSL, or the system's CNG on Windows.
std::array<unsigned char, 20> referenceSha1(const std::string& bytes) {
#if defined(_WIN32)
    return cngSha1(bytes.data(), bytes.size());
#else
    std::array<unsigned char, SHA_DIGEST_LENGTH> digest{};
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest.data());
    return digest;
#endif
}

std::string hex(const unsigned char* bytes, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

}  // namespace

std::string sha1Hex(const std::string& bytes) {
    const auto digest = referenceSha1(bytes);
    return hex(digest.data(), digest.size());
}

std::string identityBlock(const std::string& plain, const std::string& keyMaterial) {
    const auto key = referenceSha1(keyMaterial);
    unsigned char sealed[64];
    const int n = otpcli::seal(key.data(), static_cast<int>(key.size()), 5,
                               reinterpret_cast<const unsigned char*>(plain.data()),
                               static_cast<int>(plain.size()), sealed);
    EXPECT_EQ(n, 48);
    return hex(sealed, 48);
}

std::string frameHead(const std::string& lengthField, const std::string& identityField,
                      const std::string& transactionCode, const std::string& site) {
    std::string siteField = site;
    siteField.resize(32, '\0');
    return lengthField + identityField + transactionCode + siteField;
}

void RequestTest::SetUp() {
    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
    ASSERT_EQ(client.init(service.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
    client.setConnectTimeout(2);
}

}  // namespace otpcli::test
