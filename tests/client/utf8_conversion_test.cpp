// The C interface's conversions against the class's: UTF-8 to code page 949
// gives the bytes that the UTF-16 path gives for the same characters, and code
// page 949 to UTF-8 the characters that the returned strings carry.
#include <gtest/gtest.h>

#include <otpcli/otpcli.hpp>

#include "client/ansi_text.h"
#include "platform/codepage.h"
#include "platform/utf8.h"
#include "support/text.h"

namespace {

using otpcli::AnsiText;
using otpcli::test::cp949;
using otpcli::test::take;

std::string viaUtf16(const std::string& utf8) {
    const std::u16string units = otpcli::utf8ToUtf16(utf8);
    AnsiText text;
    text.assign(reinterpret_cast<const unsigned short*>(units.c_str()));
    return std::string(text.view());
}

std::string viaUtf8(const std::string& utf8) {
    AnsiText text;
    EXPECT_EQ(text.assignUtf8(utf8.c_str()), AnsiText::Utf8Status::converted) << utf8;
    return std::string(text.view());
}

TEST(Utf8Conversion, SameBytesAsTheUtf16Path) {
    const std::string long300(300, 'L');  // past the inline room
    std::string koreanLong;
    for (int i = 0; i < 200; ++i) {
        koreanLong += "한";
    }
    const std::string texts[] = {
        "",
        "plain ASCII 123",
        "한국어 텍스트",
        "漢字 and ㄱㄴ, ① ½",
        "aกb",                                               // a character code page 949 lacks
        "x😀y",                                               // beyond the first plane
        "\xc2\x80\xc2\xa0",                                  // U+0080, U+00A0
        "\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbd\xef\xbf\xbf",  // U+D7FF, U+E000, U+FFFD, U+FFFF
        "\xf4\x8f\xbf\xbf",                                  // U+10FFFF
        long300,
        koreanLong,
    };
    for (const std::string& t : texts) {
        EXPECT_EQ(viaUtf8(t), viaUtf16(t)) << t;
    }
    EXPECT_EQ(viaUtf8("한국어 텍스트"), cp949("한국어 텍스트"));
    EXPECT_EQ(viaUtf8(koreanLong).size(), 400u);
}

TEST(Utf8Conversion, MalformedTextLeavesNothing) {
    const char* const bad[] = {"\xff",
                               "a\x80",
                               "\xc1\xbf",
                               "\xe0\x9f\xbf",
                               "\xed\xbf\xbf",
                               "\xf0\x8f\xbf\xbf",
                               "\xf4\x90\x80\x80",
                               "\xf5\x80\x80\x80",
                               "\xe4\xb8",
                               "\xea\xb0\xea\xb0\x80"};
    for (const char* b : bad) {
        std::size_t length = 0;
        EXPECT_FALSE(otpcli::platform::isWellFormedUtf8(b, length)) << b;
        AnsiText text;
        EXPECT_EQ(text.assignUtf8(b), AnsiText::Utf8Status::malformed) << b;
        EXPECT_EQ(text.size(), 0u);
        EXPECT_STREQ(text.c_str(), "");
    }
}

std::string ansiToUtf8(const std::string& bytes) {
    std::vector<char> out(otpcli::platform::utf8Room(bytes.size()), 'X');
    otpcli::platform::ansiToUtf8(bytes.c_str(), out.data(), out.size());
    return out.data();
}

TEST(Utf8Conversion, Cp949ToUtf8GivesTheReturnedStringsCharacters) {
    const std::string texts[] = {
        "",
        "abc",
        "\xb0\xa1\xb3\xaa",  // 가나
        "\xa1\xa1",          // an ideographic space
        "a\x80z",
        "\xff",
        "\xb0",      // a lead byte cut off by the end
        "\xb0\x41",  // a lead byte before ASCII
        "\xc9\xa1",  // a pair in the user-defined area
        std::string(256, '\xb0'),
        std::string(256, '\x80'),
    };
    for (const std::string& t : texts) {
        const std::u16string units = take(otpcli::platform::newStringFromAnsi(t.c_str()));
        const std::string utf8 = ansiToUtf8(t);
        EXPECT_EQ(utf8, otpcli::utf16ToUtf8(units)) << t;
        std::size_t length = 0;
        EXPECT_TRUE(otpcli::platform::isWellFormedUtf8(utf8.c_str(), length)) << t;
    }
    EXPECT_EQ(ansiToUtf8("\xb0\xa1\xb3\xaa"), "가나");
}

TEST(Utf8Conversion, Cp949ToUtf8StaysInItsRoom) {
    // Too little room: what is written is whole characters from the start of
    // the text, terminated, and within the room.
    const std::string full = ansiToUtf8("\xb0\xa1\x80\xb3\xaa");
    for (std::size_t room = 1; room < full.size() + 1; ++room) {
        std::vector<char> out(room, 'X');
        otpcli::platform::ansiToUtf8("\xb0\xa1\x80\xb3\xaa", out.data(), out.size());
        const std::string part(out.data(), strnlen(out.data(), room));
        ASSERT_LT(part.size(), room);
        EXPECT_EQ(full.substr(0, part.size()), part) << room;
        std::size_t length = 0;
        EXPECT_TRUE(otpcli::platform::isWellFormedUtf8(part.c_str(), length)) << room;
    }
    // Past the longest text it takes, the rest is left out.
    std::vector<char> big(otpcli::platform::utf8Room(400));
    otpcli::platform::ansiToUtf8(std::string(400, 'a').c_str(), big.data(), big.size());
    EXPECT_EQ(std::string(big.data()), std::string(otpcli::platform::kMaxAnsiToUtf8, 'a'));
}

}  // namespace
