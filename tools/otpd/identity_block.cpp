#include "identity_block.h"

#include <vector>

#include "crypto/sha1.h"
#include "seed_decrypt.h"

namespace otpd {
namespace {

constexpr int kKeyIterations = 5;

int hexValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::vector<unsigned char>> fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexValue(hex[2 * i]);
        const int low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return bytes;
}

}  // namespace

otpcli::SealingKey siteSealingKey(std::string_view keyMaterial) noexcept {
    unsigned char digest[otpcli::Sha1::kDigestBytes];
    otpcli::Sha1 sha;
    sha.digest(reinterpret_cast<const unsigned char*>(keyMaterial.data()),
               static_cast<int>(keyMaterial.size()), digest);
    otpcli::SealingKey key{};
    otpcli::deriveSealingKey(digest, otpcli::Sha1::kDigestBytes, kKeyIterations, key);
    return key;
}

std::optional<std::string> openIdentityBlock(const otpcli::SealingKey& key, std::string_view hex) {
    const std::optional<std::vector<unsigned char>> sealed = fromHex(hex);
    if (!sealed) {
        return std::nullopt;
    }
    const std::optional<std::vector<unsigned char>> plain =
        seedCbcDecrypt(key.roundKeys, key.iv, *sealed);
    if (!plain) {
        return std::nullopt;
    }
    return std::string(plain->begin(), plain->end());
}

}  // namespace otpd
