#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypto/sha1.h"
#include "crypto/sha1_compress.h"
#include "openssl_reference.h"
#include "vector_file.h"

using otpcli::Sha1;
using otpcli::test::field;
using otpcli::test::hexBytes;
using otpcli::test::opensslSha1;
using otpcli::test::readVectorFile;
using otpcli::test::toHexText;

namespace {

using Bytes = std::vector<unsigned char>;

std::string digestOf(const Bytes& message) {
    unsigned char out[Sha1::kDigestBytes];
    Sha1().digest(message.data(), static_cast<int>(message.size()), out);
    return toHexText(out, sizeof out);
}

// Feeds the message in pieces of the given sizes, cycling through them.
std::string digestInPieces(const Bytes& message, const std::vector<int>& pieces) {
    Sha1 sha1;
    sha1.reset();
    std::size_t at = 0;
    for (std::size_t i = 0; at < message.size(); ++i) {
        const int piece =
            std::min<int>(pieces[i % pieces.size()], static_cast<int>(message.size() - at));
        sha1.update(message.data() + at, piece);
        at += static_cast<std::size_t>(std::max(piece, 0));
    }
    unsigned char out[Sha1::kDigestBytes];
    sha1.finish(out);
    return toHexText(out, sizeof out);
}

std::string reference(const Bytes& message) {
    const auto digest = opensslSha1(message.data(), message.size());
    return toHexText(digest.data(), digest.size());
}

Bytes randomBytes(std::mt19937& random, std::size_t size) {
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    return bytes;
}

TEST(Sha1, KnownAnswers) {
    const auto records = readVectorFile("sha1.txt");
    ASSERT_FALSE(records.empty());
    for (const auto& record : records) {
        const Bytes pattern = hexBytes(field(record, "pattern"));
        Bytes message;
        for (int i = std::stoi(field(record, "repeat")); i > 0; --i) {
            message.insert(message.end(), pattern.begin(), pattern.end());
        }
        SCOPED_TRACE("message of " + std::to_string(message.size()) + " bytes");
        EXPECT_EQ(digestOf(message), field(record, "digest"));
        // Byte by byte, and in pieces that straddle the block boundaries.
        EXPECT_EQ(digestInPieces(message, {1}), field(record, "digest"));
        EXPECT_EQ(digestInPieces(message, {63, 2, 64, 129}), field(record, "digest"));
    }
}

TEST(Sha1, MatchesOpenSslOnRandomInputs) {
    std::mt19937 random(20240517);
    for (int trial = 0; trial < 400; ++trial) {
        const std::size_t size = trial % 50 == 0 ? random() % 20000 : random() % 700;
        const Bytes message = randomBytes(random, size);
        SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(size) + " bytes");
        const std::string expected = reference(message);
        EXPECT_EQ(digestOf(message), expected);
        std::vector<int> pieces(1 + random() % 8);
        for (int& piece : pieces) {
            piece = static_cast<int>(random() % 150);
        }
        EXPECT_EQ(digestInPieces(message, pieces), expected);
    }
}

TEST(Sha1, NonPositiveLengthsAddNothing) {
    const Bytes message = {'a', 'b', 'c'};
    Sha1 sha1;
    sha1.reset();
    sha1.update(message.data(), 0);
    sha1.update(message.data(), -1);
    sha1.update(message.data(), 3);
    sha1.update(message.data(), -100);
    unsigned char out[Sha1::kDigestBytes];
    sha1.finish(out);
    EXPECT_EQ(toHexText(out, sizeof out), reference(message));
    Sha1().digest(message.data(), -3, out);
    EXPECT_EQ(toHexText(out, sizeof out), reference({}));
}

TEST(Sha1, DigestMayOverwriteItsInput) {
    std::mt19937 random(7);
    for (const std::size_t size : {20u, 64u, 200u}) {
        Bytes buffer = randomBytes(random, size);
        const Bytes before = buffer;
        Sha1().digest(buffer.data(), static_cast<int>(buffer.size()), buffer.data());
        EXPECT_EQ(toHexText(buffer.data(), Sha1::kDigestBytes), reference(before)) << size;
        EXPECT_TRUE(std::equal(buffer.begin() + Sha1::kDigestBytes, buffer.end(),
                               before.begin() + Sha1::kDigestBytes))
            << "bytes after the digest changed, size " << size;
    }
}

TEST(Sha1, OneObjectServesDigestsInARow) {
    const Bytes first(100, 'x');
    const Bytes second = {'a', 'b', 'c'};
    Sha1 sha1;
    unsigned char out[Sha1::kDigestBytes];
    sha1.digest(first.data(), static_cast<int>(first.size()), out);
    EXPECT_EQ(toHexText(out, sizeof out), reference(first));
    sha1.digest(second.data(), static_cast<int>(second.size()), out);
    EXPECT_EQ(toHexText(out, sizeof out), reference(second));
    sha1.reset();
    sha1.update(first.data(), static_cast<int>(first.size()));
    sha1.finish(out);
    EXPECT_EQ(toHexText(out, sizeof out), reference(first));
}

// The one padded block of "abc" and the chaining words it leads to from the
// initial ones: its digest a9993e36 4706816a ba3e2571 7850c26c 9cd0d89d.
std::array<unsigned char, 64> abcBlock() {
    std::array<unsigned char, 64> block{};
    block[0] = 'a';
    block[1] = 'b';
    block[2] = 'c';
    block[3] = 0x80;
    block[63] = 24;  // bit length
    return block;
}
constexpr std::uint32_t kInitial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
constexpr std::uint32_t kAbcState[5] = {0xa9993e36, 0x4706816a, 0xba3e2571, 0x7850c26c, 0x9cd0d89d};

TEST(Sha1Compress, PortableGivesTheKnownAnswerOfOneBlock) {
    const auto block = abcBlock();
    std::uint32_t state[5];
    std::copy(std::begin(kInitial), std::end(kInitial), state);
    otpcli::sha1::compressPortable(state, block.data(), 1);
    EXPECT_TRUE(std::equal(std::begin(state), std::end(state), std::begin(kAbcState)));
}

TEST(Sha1Compress, ShaExtensionsGiveTheKnownAnswerOfOneBlock) {
    if (!otpcli::sha1::haveShaExtensions()) {
        GTEST_SKIP() << "this processor has no SHA extensions";
    }
    const auto block = abcBlock();
    std::uint32_t state[5];
    std::copy(std::begin(kInitial), std::end(kInitial), state);
    otpcli::sha1::compressShaExtensions(state, block.data(), 1);
    EXPECT_TRUE(std::equal(std::begin(state), std::end(state), std::begin(kAbcState)));
}

// Any chaining words and any run of blocks: both compressions agree word for
// word, so the choice between them never shows in a digest.
TEST(Sha1Compress, ShaExtensionsMatchPortableOnRandomStatesAndBlocks) {
    if (!otpcli::sha1::haveShaExtensions()) {
        GTEST_SKIP() << "this processor has no SHA extensions";
    }
    std::mt19937 random(314159);
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t blocks = 1 + random() % 9;
        const Bytes data = randomBytes(random, 64 * blocks + 3);
        // An unaligned start as well as an aligned one.
        const unsigned char* start = data.data() + (trial % 2 == 0 ? 0 : 3);
        std::uint32_t portable[5];
        for (auto& word : portable) {
            word = static_cast<std::uint32_t>(random());
        }
        std::uint32_t extensions[5];
        std::copy(std::begin(portable), std::end(portable), extensions);
        otpcli::sha1::compressPortable(portable, start, blocks);
        otpcli::sha1::compressShaExtensions(extensions, start, blocks);
        EXPECT_TRUE(std::equal(std::begin(portable), std::end(portable), std::begin(extensions)))
            << "trial " << trial << ", " << blocks << " blocks";
    }
}

}  // namespace
