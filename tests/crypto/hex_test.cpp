#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "crypto/sha1.h"

namespace {

TEST(ToHex, WritesLowerCaseDigitsAndNothingAfterThem) {
    const unsigned char bytes[] = {0x00, 0x0F, 0xA0, 0xFF, 0x5C};
    std::string out(12, '#');
    otpcli::toHex(bytes, 4, out.data());
    EXPECT_EQ(out, "000fa0ff####");
}

TEST(ToHex, EveryByteValue) {
    unsigned char bytes[256];
    std::string expected;
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<unsigned char>(i);
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", i);
        expected += pair;
    }
    std::string out(512, '#');
    otpcli::toHex(bytes, 256, out.data());
    EXPECT_EQ(out, expected);
}

TEST(ToHex, CountOfZeroOrLessWritesNothing) {
    const unsigned char bytes[] = {0x12};
    std::string out(4, '#');
    otpcli::toHex(bytes, 0, out.data());
    otpcli::toHex(bytes, -1, out.data());
    EXPECT_EQ(out, "####");
}

TEST(ToHexUnits, EveryByteValueAsUtf16UnitsAndNothingAfterThem) {
    unsigned char bytes[256];
    for (int i = 0; i < 256; ++i) {
        bytes[i] = static_cast<unsigned char>(i);
    }
    std::string narrow(512, '#');
    otpcli::toHex(bytes, 256, narrow.data());
    std::u16string units(514, u'#');
    otpcli::toHexUnits(bytes, 256, reinterpret_cast<unsigned short*>(units.data()));
    EXPECT_EQ(units, std::u16string(narrow.begin(), narrow.end()) + u"##");
    EXPECT_EQ(units.substr(0, 8), u"00010203");
    EXPECT_EQ(units.substr(508, 4), u"feff");
}

TEST(ToHexUnits, CountOfZeroOrLessWritesNothing) {
    const unsigned char bytes[] = {0x12};
    std::u16string units(4, u'#');
    otpcli::toHexUnits(bytes, 0, reinterpret_cast<unsigned short*>(units.data()));
    otpcli::toHexUnits(bytes, -1, reinterpret_cast<unsigned short*>(units.data()));
    EXPECT_EQ(units, u"####");
}

}  // namespace
