#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypto/seal.h"
#include "crypto/sha1.h"
#include "openssl_reference.h"
#include "vector_file.h"

using otpcli::seal;
using otpcli::sealedLength;
using otpcli::test::opensslSha1;
using otpcli::test::toHexText;

namespace {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char kUntouched = 0xA5;

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string hex(const Bytes& bytes) {
    return toHexText(bytes.data(), bytes.size());
}

Bytes randomBytes(std::mt19937& random, std::size_t size, unsigned bound = 256) {
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(random() % bound);
    }
    return bytes;
}

void loadWords(const unsigned char* bytes, std::uint32_t* words) {
    for (int i = 0; i < 4; ++i) {
        words[i] = std::uint32_t{bytes[4 * i]} << 24 | std::uint32_t{bytes[4 * i + 1]} << 16 |
                   std::uint32_t{bytes[4 * i + 2]} << 8 | bytes[4 * i + 3];
    }
}

void storeWords(const std::uint32_t* words, unsigned char* bytes) {
    for (int i = 0; i < 16; ++i) {
        bytes[i] = static_cast<unsigned char>(words[i / 4] >> (24 - 8 * (i % 4)));
    }
}

// The sealed form worked out step by step: the key bytes hashed `iterations`
// times (at least once) with OpenSSL, the IV from the digest of the last four
// digest bytes, the padding written out, and CBC over the library's block
// function with the library's key schedule.
Bytes expectedSeal(const Bytes& keyBytes, int iterations, const Bytes& input) {
    auto digest = opensslSha1(keyBytes.data(), keyBytes.size());
    for (int i = 1; i < iterations; ++i) {
        digest = opensslSha1(digest.data(), digest.size());
    }
    otpcli::SeedRoundKeys roundKeys{};
    otpcli::seedKeySchedule(digest.data(), roundKeys);
    const auto ivDigest = opensslSha1(digest.data() + 16, 4);

    Bytes padded = input;
    const std::size_t pad = 16 - input.size() % 16;
    padded.insert(padded.end(), pad, static_cast<unsigned char>(pad));

    std::uint32_t chain[4];
    loadWords(ivDigest.data(), chain);
    for (std::size_t at = 0; at < padded.size(); at += 16) {
        std::uint32_t block[4];
        loadWords(padded.data() + at, block);
        for (int i = 0; i < 4; ++i) {
            chain[i] ^= block[i];
        }
        otpcli::seedEncryptBlock(roundKeys, chain);
        storeWords(chain, padded.data() + at);
    }
    return padded;
}

// Seals into a buffer with room to spare; the bytes after the sealed length
// must keep their fill.
Bytes sealed(const Bytes& keyBytes, int iterations, const Bytes& input) {
    Bytes out(input.size() + 64, kUntouched);
    const int length = seal(keyBytes.data(), static_cast<int>(keyBytes.size()), iterations,
                            input.data(), static_cast<int>(input.size()), out.data());
    EXPECT_EQ(length, sealedLength(static_cast<int>(input.size())));
    if (length < 0) {
        return {};
    }
    EXPECT_EQ(Bytes(out.begin() + length, out.end()), Bytes(out.size() - length, kUntouched))
        << "seal wrote past the sealed length";
    out.resize(static_cast<std::size_t>(length));
    return out;
}

TEST(Seal, SealedLength) {
    const struct {
        int length;
        int sealed;
    } cases[] = {
        {0, 16},
        {1, 16},
        {15, 16},
        {16, 32},
        {17, 32},
        {40, 48},
        {47, 48},
        {48, 64},
        {1000, 1008},
        {INT_MAX - 16, INT_MAX - 15},
        // No int can hold the sealed size of these.
        {INT_MAX - 15, -1},
        {INT_MAX, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sealedLength(c.length), c.sealed) << c.length;
    }
}

TEST(Seal, PaddedCbcUnderTheDerivedKey) {
    const Bytes keyBytes = bytesOf("site key material");
    std::mt19937 random(3);
    for (const std::size_t size : {1u, 15u, 16u, 40u, 47u, 100u}) {
        const Bytes input = randomBytes(random, size);
        EXPECT_EQ(hex(sealed(keyBytes, 5, input)), hex(expectedSeal(keyBytes, 5, input)))
            << size << " bytes";
    }
}

TEST(Seal, IterationCount) {
    const Bytes text = bytesOf("key material");
    const Bytes input = bytesOf("0123456789abcdef0123456789abcdef01234567");
    const Bytes once = sealed(text, 1, input);
    // One hash at the least.
    EXPECT_EQ(sealed(text, 0, input), once);
    EXPECT_EQ(sealed(text, -4, input), once);
    EXPECT_EQ(once, expectedSeal(text, 1, input));
    EXPECT_NE(sealed(text, 2, input), once);
    EXPECT_EQ(sealed(text, 2, input), expectedSeal(text, 2, input));

    // How the requests seal: the digest of the text, hashed five more times.
    const auto digest = opensslSha1(text.data(), text.size());
    EXPECT_EQ(sealed(Bytes(digest.begin(), digest.end()), 5, input), sealed(text, 6, input));
}

TEST(Seal, SameKeySameFirstBlockSameStart) {
    const Bytes keyBytes = bytesOf("k");
    const Bytes first = bytesOf("sixteen bytes...and then these");
    const Bytes second = bytesOf("sixteen bytes...but other ones, longer");
    const Bytes a = sealed(keyBytes, 5, first);
    const Bytes b = sealed(keyBytes, 5, second);
    EXPECT_EQ(Bytes(a.begin(), a.begin() + 16), Bytes(b.begin(), b.begin() + 16));
    EXPECT_NE(Bytes(a.begin() + 16, a.end()), Bytes(b.begin() + 16, b.begin() + 32));
    EXPECT_EQ(sealed(keyBytes, 5, first), a);
}

TEST(Seal, BadArguments) {
    const unsigned char key[20] = {1, 2, 3};
    const unsigned char input[40] = {4, 5, 6};
    unsigned char out[64];
    const struct {
        const char* what;
        const unsigned char* key;
        int keyLength;
        const unsigned char* input;
        int length;
        unsigned char* output;
    } cases[] = {
        {"null key bytes", nullptr, 20, input, 40, out},
        {"key length 0", key, 0, input, 40, out},
        {"negative key length", key, -20, input, 40, out},
        {"null input", key, 20, nullptr, 40, out},
        {"input length 0", key, 20, input, 0, out},
        {"negative input length", key, 20, input, -1, out},
        {"input too long to seal", key, 20, input, INT_MAX, out},
        {"null output", key, 20, input, 40, nullptr},
    };
    for (const auto& c : cases) {
        std::memset(out, kUntouched, sizeof out);
        errno = 0;
        EXPECT_EQ(seal(c.key, c.keyLength, 5, c.input, c.length, c.output), -1) << c.what;
        EXPECT_EQ(errno, EINVAL) << c.what;
        EXPECT_EQ(Bytes(out, out + sizeof out), Bytes(sizeof out, kUntouched)) << c.what;
    }
}

TEST(Seal, CbcMatchesOpenSslForKeysBelow0x80) {
    if (!otpcli::test::opensslSeedAvailable()) {
        GTEST_SKIP() << "OpenSSL's legacy provider, which holds SEED, is not available here";
    }
    std::mt19937 random(2005);
    for (int trial = 0; trial < 200; ++trial) {
        const Bytes key = randomBytes(random, 16, 0x80);
        const Bytes ivBytes = randomBytes(random, 16);
        const Bytes input = randomBytes(random, random() % 100);
        otpcli::SeedRoundKeys roundKeys{};
        otpcli::seedKeySchedule(key.data(), roundKeys);
        std::uint32_t iv[4];
        loadWords(ivBytes.data(), iv);
        Bytes out(input.size() + 32, kUntouched);
        const int length = otpcli::seedCbcEncrypt(roundKeys, iv, input.data(),
                                                  static_cast<int>(input.size()), out.data());
        const Bytes expected = otpcli::test::opensslSeedCbc(key.data(), ivBytes.data(), input);
        ASSERT_EQ(length, static_cast<int>(expected.size())) << input.size() << " bytes";
        EXPECT_EQ(toHexText(out.data(), expected.size()),
                  toHexText(expected.data(), expected.size()))
            << input.size() << " bytes";
    }
}

}  // namespace
