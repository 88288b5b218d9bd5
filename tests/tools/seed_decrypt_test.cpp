// SEED decryption undoes the library's encryption, with the service's key
// schedule, and opening refuses what was not sealed under the key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "crypto/seal.h"
#include "crypto/seed.h"
#include "crypto/sha1.h"
#include "identity_block.h"
#include "seed_decrypt.h"

namespace otpcli::test {
namespace {

std::vector<unsigned char> bytes(const std::string& hex) {
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

void toWords(const std::vector<unsigned char>& b, std::uint32_t* w) {
    for (int i = 0; i < 4; ++i) {
        w[i] = std::uint32_t{b[4 * i]} << 24 | std::uint32_t{b[4 * i + 1]} << 16 |
               std::uint32_t{b[4 * i + 2]} << 8 | b[4 * i + 3];
    }
}

TEST(SeedDecrypt, KnownCiphertextsDecryptToTheirPlaintexts) {
    // The first two have keys below 0x80 and are the standard cipher's test
    // vectors; the last two have key bytes of 0x80 and above, where the
    // service's key schedule gives other ciphertexts than the standard one.
    const struct {
        const char* key;
        const char* plain;
        const char* cipher;
    } cases[] = {
        {"00000000000000000000000000000000", "000102030405060708090a0b0c0d0e0f",
         "5ebac6e0054e166819aff1cc6d346cdb"},
        {"000102030405060708090a0b0c0d0e0f", "00000000000000000000000000000000",
         "c11f22f20140505084483597e4370f43"},
        {"4706480851e61be85d74bfb3fd956185", "83a2f8a288641fb9a4e9a5cc2f131c7d",
         "558544ddc8c0e37de340a76da3395346"},
        {"28dbc3bc49ffd87dcfa509b11d422be7", "b41e6be2eba84a148e2eed84593c5ec7",
         "a82be3f7b7bf480a72e6b1137efd5d7f"},
    };
    for (const auto& c : cases) {
        SeedRoundKeys keys;
        seedKeySchedule(bytes(c.key).data(), keys);
        std::uint32_t block[4];
        std::uint32_t expected[4];
        toWords(bytes(c.cipher), block);
        toWords(bytes(c.plain), expected);
        otpd::seedDecryptBlock(keys, block);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(block[i], expected[i]) << c.key << " word " << i;
        }
    }
}

TEST(SeedDecrypt, UndoesEncryptionOfRandomBlocksUnderRandomKeys) {
    std::mt19937 random(20240611);
    for (int n = 0; n < 2000; ++n) {
        unsigned char key[16];
        for (unsigned char& k : key) {
            k = static_cast<unsigned char>(random());
        }
        if (n == 0) {
            std::fill(std::begin(key), std::end(key), 0xff);
        }
        SeedRoundKeys keys;
        seedKeySchedule(key, keys);
        const std::uint32_t plain[4] = {
            static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random()),
            static_cast<std::uint32_t>(random()), static_cast<std::uint32_t>(random())};
        std::uint32_t block[4] = {plain[0], plain[1], plain[2], plain[3]};
        seedEncryptBlock(keys, block);
        ASSERT_FALSE(std::equal(block, block + 4, plain)) << n;
        otpd::seedDecryptBlock(keys, block);
        ASSERT_TRUE(std::equal(block, block + 4, plain)) << n;
    }
}

TEST(SeedDecrypt, OpensWhatSealSealedForManyLengthsAndKeys) {
    std::mt19937 random(7);
    for (int n = 0; n < 600; ++n) {
        std::vector<unsigned char> keyBytes(1 + random() % 40);
        for (unsigned char& k : keyBytes) {
            k = static_cast<unsigned char>(0x80 | random());  // every byte 0x80 or above
        }
        if (n % 2 == 1) {
            for (unsigned char& k : keyBytes) {
                k = static_cast<unsigned char>(random());
            }
        }
        std::vector<unsigned char> plain(1 + random() % 100);
        for (unsigned char& p : plain) {
            p = static_cast<unsigned char>(random());
        }
        const int iterations = static_cast<int>(random() % 8);
        std::vector<unsigned char> sealed(
            static_cast<std::size_t>(sealedLength(static_cast<int>(plain.size()))));
        ASSERT_EQ(seal(keyBytes.data(), static_cast<int>(keyBytes.size()), iterations, plain.data(),
                       static_cast<int>(plain.size()), sealed.data()),
                  static_cast<int>(sealed.size()));

        SealingKey key;
        deriveSealingKey(keyBytes.data(), static_cast<int>(keyBytes.size()), iterations, key);
        const auto opened = otpd::seedCbcDecrypt(key.roundKeys, key.iv, sealed);
        ASSERT_TRUE(opened.has_value()) << n;
        ASSERT_EQ(*opened, plain) << n;
    }
}

// CBC-encrypts blocks exactly as given, without adding padding.
std::vector<unsigned char> encryptRaw(const SealingKey& key, std::vector<unsigned char> data) {
    std::uint32_t chain[4] = {key.iv[0], key.iv[1], key.iv[2], key.iv[3]};
    for (std::size_t at = 0; at < data.size(); at += 16) {
        std::uint32_t block[4];
        toWords(std::vector<unsigned char>(data.begin() + static_cast<long>(at),
                                           data.begin() + static_cast<long>(at) + 16),
                block);
        for (int i = 0; i < 4; ++i) {
            block[i] ^= chain[i];
        }
        seedEncryptBlock(key.roundKeys, block);
        for (int i = 0; i < 4; ++i) {
            chain[i] = block[i];
            for (int b = 0; b < 4; ++b) {
                data[at + 4 * i + b] = static_cast<unsigned char>(block[i] >> (24 - 8 * b));
            }
        }
    }
    return data;
}

TEST(SeedDecrypt, BadPaddingAndBadLengthsDoNotOpen) {
    const unsigned char keyBytes[20] = {0x80, 1, 2, 3};
    SealingKey key;
    deriveSealingKey(keyBytes, 20, 5, key);
    std::vector<unsigned char> block(16, 'a');

    const struct {
        const char* name;
        std::vector<unsigned char> tail;  // the last bytes of the one block
        bool opens;
    } cases[] = {
        {"pad of one", {1}, true},
        {"pad of sixteen", std::vector<unsigned char>(16, 16), true},
        {"pad of zero", {0}, false},
        {"pad of seventeen", std::vector<unsigned char>(16, 17), false},
        {"pad bytes that differ", {2, 3, 3}, false},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> plain = block;
        std::copy(c.tail.begin(), c.tail.end(), plain.end() - static_cast<long>(c.tail.size()));
        const auto opened = otpd::seedCbcDecrypt(key.roundKeys, key.iv, encryptRaw(key, plain));
        EXPECT_EQ(opened.has_value(), c.opens) << c.name;
        if (opened) {
            EXPECT_EQ(opened->size(), 16 - static_cast<std::size_t>(plain.back())) << c.name;
        }
    }
    for (const std::size_t length : {0u, 15u, 17u, 47u}) {
        const std::vector<unsigned char> sealed(length, 0x10);
        EXPECT_FALSE(otpd::seedCbcDecrypt(key.roundKeys, key.iv, sealed)) << length;
    }
}

TEST(IdentityBlock, OpensTheClientsBlockInEitherCaseAndRefusesOthers) {
    const std::string keyMaterial = "site key";
    const std::string plain = std::string(40, 'f') + "0012345";
    unsigned char digest[Sha1::kDigestBytes];
    Sha1().digest(reinterpret_cast<const unsigned char*>(keyMaterial.data()),
                  static_cast<int>(keyMaterial.size()), digest);
    unsigned char sealed[48];
    ASSERT_EQ(seal(digest, 20, 5, reinterpret_cast<const unsigned char*>(plain.data()), 47, sealed),
              48);
    std::string hex(96, ' ');
    toHex(sealed, 48, hex.data());

    const SealingKey key = otpd::siteSealingKey(keyMaterial);
    EXPECT_EQ(otpd::openIdentityBlock(key, hex), plain);
    std::string upper = hex;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(otpd::openIdentityBlock(key, upper), plain);

    EXPECT_FALSE(otpd::openIdentityBlock(otpd::siteSealingKey("other key"), hex));
    EXPECT_FALSE(otpd::openIdentityBlock(key, hex.substr(0, 95)));
    EXPECT_FALSE(otpd::openIdentityBlock(key, hex.substr(0, 94)));
    EXPECT_FALSE(otpd::openIdentityBlock(key, "g" + hex.substr(1)));
    EXPECT_FALSE(otpd::openIdentityBlock(key, ""));
}

}  // namespace
}  // namespace otpcli::test
