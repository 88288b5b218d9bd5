#include "requests/request_fixture.h"

#include <openssl/sha.h>

#include "crypto/seal.h"

namespace otpcli::test {
namespace {

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
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return hex(digest, sizeof digest);
}

std::string identityBlock(const std::string& plain, const std::string& keyMaterial) {
    unsigned char key[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(keyMaterial.data()), keyMaterial.size(), key);
    unsigned char sealed[64];
    const int n = otpcli::seal(key, SHA_DIGEST_LENGTH, 5,
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
