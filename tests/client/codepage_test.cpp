#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "support/codepage_seams.h"
#include "support/text.h"

using otpcli::test::cp949;
using otpcli::test::take;
using otpcli::test::utf16;

namespace {

std::string toAnsi(const std::u16string& text) {
    const std::size_t n =
        otpcli::platform::wideLength(reinterpret_cast<const unsigned short*>(text.c_str()));
    std::vector<char> out(2 * n + 2, 'X');
    EXPECT_TRUE(otpcli::platform::wideToAnsi(reinterpret_cast<const unsigned short*>(text.c_str()),
                                             n, out.data(), out.size()));
    return out.data();
}

std::u16string fromAnsi(const std::string& bytes) {
    return take(otpcli::platform::newStringFromAnsi(bytes.c_str()));
}

TEST(CodePage, WideToAnsi) {
    EXPECT_EQ(toAnsi(u""), "");
    EXPECT_EQ(toAnsi(u"plain ASCII 123"), "plain ASCII 123");
    EXPECT_EQ(toAnsi(utf16("한국어 텍스트")), cp949("한국어 텍스트"));
    // Characters code page 949 lacks become '?'.
    EXPECT_EQ(toAnsi(utf16("aกb")), "a?b");
#if defined(_WIN32)
    // The system may replace each unit of a surrogate pair.
    const std::string emoji = toAnsi(utf16("x😀y"));
    EXPECT_TRUE(emoji == "x?y" || emoji == "x??y") << emoji;
#else
    EXPECT_EQ(toAnsi(utf16("x😀y")), "x?y");
#endif
    // Unpaired surrogates, high and low, alone and at the end.
    EXPECT_EQ(toAnsi(std::u16string{u'a', 0xD800, u'b'}), "a?b");
    EXPECT_EQ(toAnsi(std::u16string{u'a', 0xDC00, u'b'}), "a?b");
    EXPECT_EQ(toAnsi(std::u16string{u'a', 0xD83D}), "a?");
}

TEST(CodePage, WideToAnsiWorstCaseFitsTheBuffer) {
    const std::u16string korean = utf16("가가가가가");
    EXPECT_EQ(toAnsi(korean).size(), 10u);
}

// Without the converter, ASCII still converts (its bytes are the same) and
// anything else is refused: the empty text, with nothing of the text left in
// the buffer, instead of '?' for every character.
TEST(CodePage, WithoutConverterOnlyAsciiConverts) {
    const otpcli::test::WithoutConverter noConverter;
    EXPECT_FALSE(otpcli::platform::ansiConverterAvailable());
    EXPECT_EQ(toAnsi(u"8505031234565 ascii ~"), "8505031234565 ascii ~");
    for (const std::string& text : {std::string("8505031234565가"), std::string("가나"),
                                    std::string("abcก"), std::string("x😀")}) {
        const std::u16string units = utf16(text);
        std::vector<char> out(2 * units.size() + 2, 'X');
        EXPECT_FALSE(otpcli::platform::wideToAnsi(otpcli::test::w(units), units.size(), out.data(),
                                                  out.size()))
            << text;
        EXPECT_EQ(out[0], '\0') << text;
        // The ASCII part copied before the first other character is gone too.
        const std::string left(out.begin(), out.end());
        EXPECT_EQ(left.find("850503"), std::string::npos) << text;
        EXPECT_EQ(left.find("abc"), std::string::npos) << text;
    }
}

TEST(CodePage, ConverterIsThereOutsideTheSeam) {
    EXPECT_TRUE(otpcli::platform::ansiConverterAvailable());
    { const otpcli::test::WithoutConverter noConverter; }
    EXPECT_TRUE(otpcli::platform::ansiConverterAvailable());
    EXPECT_EQ(toAnsi(utf16("가")), cp949("가"));
}

// Lengths are counted in std::size_t: one beyond the largest that a buffer of
// 2n + 2 bytes can have is refused before any unit is read.
TEST(CodePage, LengthBeyondTheLimitIsRefused) {
    const std::u16string text = u"abc";
    char out[8] = "XXXXXXX";
    EXPECT_FALSE(otpcli::platform::wideToAnsi(otpcli::test::w(text), otpcli::test::kUnitsTooMany,
                                              out, sizeof out));
    EXPECT_EQ(out[0], '\0');
    // A buffer under 2n + 2 bytes is refused as well.
    EXPECT_FALSE(otpcli::platform::wideToAnsi(otpcli::test::w(text), 3, out, 7));
    EXPECT_TRUE(otpcli::platform::wideToAnsi(otpcli::test::w(text), 3, out, 8));
    EXPECT_STREQ(out, "abc");
    const otpcli::test::WithTextLength fake(std::size_t{1} << 33);
    EXPECT_EQ(otpcli::platform::wideLength(otpcli::test::w(text)), std::size_t{1} << 33);
    EXPECT_EQ(otpcli::platform::wideLength(nullptr), 0u);
}

TEST(CodePage, AnsiToWide) {
    EXPECT_EQ(fromAnsi(""), u"");
    EXPECT_EQ(fromAnsi("abc"), u"abc");
    EXPECT_EQ(fromAnsi(cp949("서버에 접속할 수 없습니다.")), utf16("서버에 접속할 수 없습니다."));
    // A double-byte character cut in two at the end.
    std::string cut = cp949("가나");
    cut.pop_back();
#if defined(_WIN32)
    // The system's code page table decides: bytes it maps of its own, and its
    // default character for sequences it does not define.
    CPINFOEXW info{};
    ASSERT_TRUE(GetCPInfoExW(CP_ACP, 0, &info));
    const std::u16string fallback(1, static_cast<char16_t>(info.UnicodeDefaultChar));
    EXPECT_EQ(fromAnsi(cut), utf16("가") + fallback);
    EXPECT_EQ(fromAnsi("\x80"), u"\u0080");
    EXPECT_EQ(fromAnsi(std::string("a\xff") + "b"), u"a\uF8F7b");
    EXPECT_EQ(fromAnsi(std::string("\xc9") + "A"), fallback);
#else
    EXPECT_EQ(fromAnsi(cut), utf16("가") + u"\uFFFD");
    // Bytes the code page does not define.
    EXPECT_EQ(fromAnsi("\x80"), u"\uFFFD");
    EXPECT_EQ(fromAnsi("a\xff"
                       "b"),
              u"a\uFFFDb");
    // An undefined pair whose second byte is ASCII keeps that byte.
    EXPECT_EQ(fromAnsi("\xc9"
                       "A"),
              u"\uFFFDA");
#endif
}

#if defined(_WIN32)
// The conversions use the ANSI code page, which the test environment sets to
// 949 (LC_ALL=ko_KR.UTF-8 under Wine); every Korean expectation relies on it.
TEST(CodePage, AnsiCodePageIs949) {
    EXPECT_EQ(GetACP(), 949u);
}
#endif

// ASCII runs before, between and after double-byte characters, both ways: the
// run at the start takes a shorter path than the characters after it.
TEST(CodePage, AsciiRunsAroundDoubleByteCharacters) {
    const std::string mixed = "ID 8505031234565 가나 end ~";
    EXPECT_EQ(toAnsi(utf16(mixed)), cp949(mixed));
    EXPECT_EQ(fromAnsi(cp949(mixed)), utf16(mixed));
    EXPECT_EQ(toAnsi(utf16("한a")), cp949("한a"));
    EXPECT_EQ(fromAnsi(cp949("한a")), utf16("한a"));
    // Every ASCII value, DEL included, stays one byte and one unit.
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) {
        ascii += static_cast<char>(c);
    }
    EXPECT_EQ(toAnsi(std::u16string(ascii.begin(), ascii.end())), ascii);
    EXPECT_EQ(fromAnsi(ascii), std::u16string(ascii.begin(), ascii.end()));
#if !defined(_WIN32)
    // The first byte above ASCII after a run is decoded, not copied (0x80 is
    // no character of code page 949 here; the Windows table maps it).
    EXPECT_EQ(fromAnsi("abc\x80"), u"abc\uFFFD");
#endif
}

}  // namespace
