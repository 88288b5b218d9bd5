#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include <otpcli/otpcli.h>

#include "client/allocation.h"
#include "client/ansi_text.h"
#include "openssl_reference.h"
#include "platform/codepage.h"
#include "support/codepage_seams.h"
#include "support/text.h"
#include "vector_file.h"

using otpcli::test::cp949;
using otpcli::test::take;
using otpcli::test::utf16;
using otpcli::test::w;

namespace {

// The identity text of the given bytes, by OpenSSL.
std::u16string referenceHash(const std::string& bytes) {
    const auto digest = otpcli::test::opensslSha1(bytes.data(), bytes.size());
    const std::string hex = otpcli::test::toHexText(digest.data(), digest.size());
    return std::u16string(hex.begin(), hex.end());
}

std::u16string hashOf(const std::u16string& text) {
    OTPCLI client;
    BSTR hash = nullptr;
    EXPECT_EQ(client.hashValue(w(text), &hash), S_OK);
    return take(hash);
}

TEST(HashValue, StandardDigestsInLowerCase) {
    EXPECT_EQ(hashOf(u""), u"da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hashOf(u"abc"), u"a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hashOf(u"9912319000009"), referenceHash("9912319000009"));
}

TEST(HashValue, NullArgumentsLeaveTheTargetAlone) {
    OTPCLI client;
    OLECHAR mark[] = {'x', 0};
    BSTR hash = mark;
    EXPECT_EQ(client.hashValue(nullptr, &hash), E_POINTER);
    EXPECT_EQ(hash, mark);
    EXPECT_EQ(client.hashValue(w(u"abc"), nullptr), E_POINTER);
}

TEST(HashValue, TextIsHashedAsCodePage949Bytes) {
    const std::string korean = "홍길동 주민번호 한글 텍스트";
    EXPECT_EQ(hashOf(utf16(korean)), referenceHash(cp949(korean)));
    // Past the room kept on the stack the text goes to the heap.
    std::string longText;
    for (int i = 0; i < 150; ++i) {
        longText += "가나다";
    }
    EXPECT_EQ(hashOf(utf16(longText)), referenceHash(cp949(longText)));
}

TEST(HashValue, CharactersTheCodePageLacksHashAsQuestionMarks) {
    EXPECT_EQ(hashOf(utf16("aกb")), referenceHash("a?b"));
    // So different texts can share a hash.
    EXPECT_EQ(hashOf(utf16("กข")), referenceHash("??"));
#if defined(_WIN32)
    // The system may replace each unit of a surrogate pair.
    EXPECT_THAT(hashOf(utf16("x😀y")),
                ::testing::AnyOf(referenceHash("x?y"), referenceHash("x??y")));
    EXPECT_THAT(hashOf(utf16("😀ก")), ::testing::AnyOf(referenceHash("??"), referenceHash("???")));
#else
    EXPECT_EQ(hashOf(utf16("x😀y")), referenceHash("x?y"));
    EXPECT_EQ(hashOf(utf16("😀ก")), referenceHash("??"));
#endif
}

TEST(HashValue, NoMemoryForTheTextIsAFailure) {
    const std::u16string text(otpcli::AnsiText::kInlineUnits + 1, u'a');
    OTPCLI client;
    OLECHAR mark[] = {'x', 0};
    BSTR hash = mark;
    otpcli::failAllocationAt(1);
    EXPECT_EQ(client.hashValue(w(text), &hash), E_FAIL);
    otpcli::failAllocationAt(0);
    EXPECT_EQ(hash, mark);
}

// Without a code page 949 converter a text beyond ASCII is refused, not hashed
// as '?' characters; ASCII needs no converter.
TEST(HashValue, TextsThatCannotBeConvertedAreFailures) {
    OTPCLI client;
    OLECHAR mark[] = {'x', 0};
    std::string longKorean;
    for (int i = 0; i < 100; ++i) {
        longKorean += "가나";
    }
    const otpcli::test::WithoutConverter noConverter;
    for (const std::string& text :
         {std::string("홍길동"), std::string("8505031234565가"), longKorean}) {
        BSTR hash = mark;
        EXPECT_EQ(client.hashValue(w(utf16(text)), &hash), E_FAIL) << text;
        EXPECT_EQ(hash, mark);
    }
    EXPECT_EQ(hashOf(u"abc"), u"a9993e364706816aba3e25717850c26c9cd0d89d");
}

// Lengths are not counted in an int: 2^31 units no longer wrap to a negative
// count (hashed as the empty text with success), nor 2^32 + 3 to 3. Such a text
// is too long for the conversion (E_INVALIDARG) or needs a buffer over 4 GiB,
// here refused by the allocation seam (E_FAIL). The units are never read.
TEST(HashValue, LengthsBeyondAnIntAreNotWrapped) {
    OTPCLI client;
    OLECHAR mark[] = {'x', 0};
    const std::u16string text = u"abc";
    for (const std::size_t units :
         {std::size_t{1} << 31, (std::size_t{1} << 32) + 3, otpcli::test::kUnitsTooMany}) {
        const otpcli::test::WithTextLength fake(units);
        BSTR hash = mark;
        otpcli::failAllocationAt(1);
        const HRESULT status = client.hashValue(w(text), &hash);
        otpcli::failAllocationAt(0);
        EXPECT_EQ(status, units > otpcli::platform::kMaxWideUnits ? E_INVALIDARG : E_FAIL) << units;
        EXPECT_EQ(hash, mark);
    }
}

// Exposes setError to put a known error state in place.
class WithError : public OTPCLI {
  public:
    void fail(const char* code, const char* mesg) { setError(code, mesg); }
};

TEST(HashValue, LeavesTheErrorStateAlone) {
    WithError client;
    client.fail("N002", "earlier failure");
    BSTR hash = nullptr;
    EXPECT_EQ(client.hashValue(w(u"abc"), &hash), S_OK);
    take(hash);
    BSTR code = nullptr;
    BSTR mesg = nullptr;
    ASSERT_EQ(client.getErrorCode(&code), S_OK);
    ASSERT_EQ(client.getErrorMesg(&mesg), S_OK);
    EXPECT_EQ(take(code), u"N002");
    EXPECT_EQ(take(mesg), u"earlier failure");
}

}  // namespace
