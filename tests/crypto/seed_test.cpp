#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crypto/seed.h"
#include "openssl_reference.h"
#include "vector_file.h"

using otpcli::SeedRoundKeys;
using otpcli::test::field;
using otpcli::test::hexBytes;
using otpcli::test::hexWords;
using otpcli::test::readVectorFile;
using otpcli::test::toHexText;

namespace {

using Bytes = std::vector<unsigned char>;
using Words = std::vector<std::uint32_t>;

constexpr std::uint8_t kM0 = 0xFC;
constexpr std::uint8_t kM1 = 0xF3;
constexpr std::uint8_t kM2 = 0xCF;
constexpr std::uint8_t kM3 = 0x3F;

// The printed S-boxes and key constants.
struct RfcTables {
    Bytes s1;
    Bytes s2;
    Words kc;
};

const RfcTables& rfcTables() {
    static const RfcTables tables = [] {
        const auto records = readVectorFile("seed_sboxes.txt");
        const auto& record = records.at(0);
        return RfcTables{hexBytes(field(record, "s1")), hexBytes(field(record, "s2")),
                         hexWords(field(record, "kc"))};
    }();
    return tables;
}

std::uint32_t bytesToWord(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return std::uint32_t{b0} << 24 | std::uint32_t{b1} << 16 | std::uint32_t{b2} << 8 | b3;
}

// G as the S-boxes and masks define it, without the combined tables.
std::uint32_t referenceG(std::uint32_t x) {
    const RfcTables& t = rfcTables();
    const std::uint8_t y0 = t.s1.at(x & 0xFF);
    const std::uint8_t y1 = t.s2.at((x >> 8) & 0xFF);
    const std::uint8_t y2 = t.s1.at((x >> 16) & 0xFF);
    const std::uint8_t y3 = t.s2.at(x >> 24);
    const auto z = [&](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
        return static_cast<std::uint8_t>((y0 & a) ^ (y1 & b) ^ (y2 & c) ^ (y3 & d));
    };
    return bytesToWord(z(kM3, kM0, kM1, kM2), z(kM2, kM3, kM0, kM1), z(kM1, kM2, kM3, kM0),
                       z(kM0, kM1, kM2, kM3));
}

// The standard key schedule: the key halves turn as 64-bit rotations.
Words rfcSchedule(const Bytes& key) {
    std::uint64_t left = 0;
    std::uint64_t right = 0;
    for (int i = 0; i < 8; ++i) {
        left = left << 8 | key.at(i);
        right = right << 8 | key.at(8 + i);
    }
    Words roundKeys;
    for (int i = 0; i < 16; ++i) {
        const auto k0 = static_cast<std::uint32_t>(left >> 32);
        const auto k1 = static_cast<std::uint32_t>(left);
        const auto k2 = static_cast<std::uint32_t>(right >> 32);
        const auto k3 = static_cast<std::uint32_t>(right);
        const std::uint32_t kc = rfcTables().kc.at(i);
        roundKeys.push_back(referenceG(k0 + k2 - kc));
        roundKeys.push_back(referenceG(k1 - k3 + kc));
        if (i % 2 == 0) {
            left = std::rotr(left, 8);
        } else {
            right = std::rotl(right, 8);
        }
    }
    return roundKeys;
}

Words librarySchedule(const Bytes& key) {
    SeedRoundKeys roundKeys{};
    otpcli::seedKeySchedule(key.data(), roundKeys);
    return Words(std::begin(roundKeys.words), std::end(roundKeys.words));
}

std::string encrypt(const Words& roundKeys, const Bytes& plain) {
    SeedRoundKeys keys{};
    std::copy(roundKeys.begin(), roundKeys.end(), keys.words);
    std::uint32_t block[4];
    for (int i = 0; i < 4; ++i) {
        block[i] = bytesToWord(plain.at(4 * i), plain.at(4 * i + 1), plain.at(4 * i + 2),
                               plain.at(4 * i + 3));
    }
    otpcli::seedEncryptBlock(keys, block);
    unsigned char out[16];
    for (int i = 0; i < 16; ++i) {
        out[i] = static_cast<unsigned char>(block[i / 4] >> (24 - 8 * (i % 4)));
    }
    return toHexText(out, sizeof out);
}

Bytes randomBytes(std::mt19937& random, std::size_t size, unsigned bound = 256) {
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(random() % bound);
    }
    return bytes;
}

TEST(SeedTables, RebuiltFromTheSBoxesAndMasks) {
    const RfcTables& t = rfcTables();
    ASSERT_EQ(t.s1.size(), 256u);
    ASSERT_EQ(t.s2.size(), 256u);
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t a = t.s1[x];
        const std::uint8_t b = t.s2[x];
        EXPECT_EQ(otpcli::SS0[x], bytesToWord(a & kM3, a & kM2, a & kM1, a & kM0)) << x;
        EXPECT_EQ(otpcli::SS1[x], bytesToWord(b & kM0, b & kM3, b & kM2, b & kM1)) << x;
        EXPECT_EQ(otpcli::SS2[x], bytesToWord(a & kM1, a & kM0, a & kM3, a & kM2)) << x;
        EXPECT_EQ(otpcli::SS3[x], bytesToWord(b & kM2, b & kM1, b & kM0, b & kM3)) << x;
    }
    EXPECT_EQ(Words(otpcli::KC.begin(), otpcli::KC.end()), t.kc);
}

TEST(Seed, RfcRoundKeysGiveRfcCiphertexts) {
    const auto records = readVectorFile("seed_rfc4269.txt");
    ASSERT_EQ(records.size(), 4u);
    for (const auto& record : records) {
        const Words roundKeys = hexWords(field(record, "roundkeys"));
        ASSERT_EQ(roundKeys.size(), 32u);
        EXPECT_EQ(encrypt(roundKeys, hexBytes(field(record, "plain"))), field(record, "cipher"))
            << "key " << field(record, "key");
    }
}

TEST(Seed, ReferenceScheduleGivesRfcRoundKeys) {
    for (const auto& record : readVectorFile("seed_rfc4269.txt")) {
        EXPECT_EQ(rfcSchedule(hexBytes(field(record, "key"))), hexWords(field(record, "roundkeys")))
            << "key " << field(record, "key");
    }
}

TEST(Seed, ServiceScheduleKnownAnswers) {
    const auto records = readVectorFile("seed_service.txt");
    ASSERT_EQ(records.size(), 4u);
    for (const auto& record : records) {
        const Bytes key = hexBytes(field(record, "key"));
        SCOPED_TRACE("key " + field(record, "key"));
        const Words roundKeys = librarySchedule(key);
        EXPECT_EQ(encrypt(roundKeys, hexBytes(field(record, "plain"))), field(record, "cipher"));
        if (record.count("roundkey4") != 0) {
            // The first four round keys come before any shifted word with its
            // top bit set; the fifth is the first to differ from the standard.
            const Words standard = rfcSchedule(key);
            EXPECT_EQ(Words(roundKeys.begin(), roundKeys.begin() + 4),
                      Words(standard.begin(), standard.begin() + 4));
            EXPECT_EQ(roundKeys.at(4), hexWords(field(record, "roundkey4")).at(0));
            EXPECT_NE(roundKeys.at(4), standard.at(4));
        }
    }
}

TEST(Seed, ASingleHighKeyByteChangesTheRoundKeys) {
    for (int position = 0; position < 16; ++position) {
        Bytes key(16, 0);
        key[position] = 0x80;
        EXPECT_NE(librarySchedule(key), rfcSchedule(key)) << "0x80 at byte " << position;
    }
}

TEST(Seed, KeysBelow0x80FollowTheStandardSchedule) {
    std::mt19937 random(4269);
    for (int trial = 0; trial < 200; ++trial) {
        const Bytes key = randomBytes(random, 16, 0x80);
        EXPECT_EQ(librarySchedule(key), rfcSchedule(key)) << toHexText(key.data(), key.size());
    }
    EXPECT_EQ(librarySchedule(Bytes(16, 0x7F)), rfcSchedule(Bytes(16, 0x7F)));
}

TEST(Seed, MatchesOpenSslEcbForKeysBelow0x80) {
    if (!otpcli::test::opensslSeedAvailable()) {
        GTEST_SKIP() << "OpenSSL's legacy provider, which holds SEED, is not available here";
    }
    std::mt19937 random(1999);
    for (int trial = 0; trial < 300; ++trial) {
        const Bytes key = randomBytes(random, 16, 0x80);
        const Bytes plain = randomBytes(random, 16);
        const auto expected = otpcli::test::opensslSeedEcb(key.data(), plain.data());
        EXPECT_EQ(encrypt(librarySchedule(key), plain), toHexText(expected.data(), 16))
            << "key " << toHexText(key.data(), 16) << " plaintext " << toHexText(plain.data(), 16);
    }
}

}  // namespace
