#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "crypto/wipe.h"

namespace {

TEST(Wipe, ZeroesExactlyTheGivenBytes) {
    std::array<unsigned char, 8> bytes;
    bytes.fill(0xEE);
    otpcli::wipe(bytes.data() + 2, 4);
    EXPECT_EQ(bytes, (std::array<unsigned char, 8>{0xEE, 0xEE, 0, 0, 0, 0, 0xEE, 0xEE}));

    struct {
        std::uint32_t words[3];
    } object = {{1, 2, 3}};
    otpcli::wipeObject(object);
    EXPECT_EQ(object.words[0] | object.words[1] | object.words[2], 0u);
    otpcli::wipe(nullptr, 0);
}

TEST(Wipe, InlineZeroesExactlyTheGivenBytes) {
    std::array<unsigned char, 80> bytes;
    bytes.fill(0xEE);
    otpcli::wipeInline(bytes.data() + 3, 64);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(bytes[i], i >= 3 && i < 67 ? 0 : 0xEE) << "byte " << i;
    }
}

}  // namespace
