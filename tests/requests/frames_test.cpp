// Every operation's request frame, byte for byte, from its field values.
#include <string>

#include "requests/request_fixture.h"

namespace otpcli::test {
namespace {

const std::string kNumber = "8505031234565";  // born 1985-05-03, seventh character 1
const std::string kSpaces40(40, ' ');

using Frames = RequestTest;

std::string onlyFrame(const RecordingService& service) {
    const auto frames = service.frames();
    EXPECT_EQ(frames.size(), 1u);
    return frames.empty() ? std::string() : frames.back();
}

TEST_F(Frames, Issue) {
    ASSERT_EQ(client.reqIssue(w(utf16(kNumber)), w(u"ABCD"), w(u"0101234567")), S_OK);
    const std::string expected = frameHead("00198", kSpaces40, "0000006", kSite) +
                                 identityBlock(sha1Hex(kNumber), kKey) + "19850503M" + "ABC" +
                                 "0101234567 ";
    EXPECT_EQ(onlyFrame(service), expected);
}

TEST_F(Frames, IssueBirthDataFromTheNumber) {
    struct Case {
        std::string number;
        std::string birth;
    };
    const Case cases[] = {
        {"8505032234568", "19850503F"},
        {"0501014123450", "20050101F"},
        {"9912319123451", "18991231M"},
        {"0013013123458", "20001301M"},  // month 13 passes unchanged
    };
    for (const Case& c : cases) {
        ASSERT_EQ(client.reqIssue(w(utf16(c.number)), w(u"C"), w(u"V")), S_OK) << c.number;
        EXPECT_EQ(service.frames().back().substr(180, 9), c.birth) << c.number;
    }
}

TEST_F(Frames, Reissue) {
    ASSERT_EQ(client.reqReissue(w(utf16(kNumber)), 0, w(u"XY"), w(u"123456789012")), S_OK);
    const std::string expected = frameHead("00189", kSpaces40, "0000007", kSite) +
                                 identityBlock(sha1Hex(kNumber), kKey) + "XY " + "12345678901";
    EXPECT_EQ(onlyFrame(service), expected);
}

TEST_F(Frames, Check) {
    ASSERT_EQ(client.reqCheck(w(utf16(kNumber)), 0, w(u"SVC"), w(u"VALUE")), S_OK);
    const std::string expected =
        frameHead("00093", sha1Hex(kNumber), "0000009", kSite) + "SVC" + "VALUE      ";
    EXPECT_EQ(onlyFrame(service), expected);
}

TEST_F(Frames, AddsvcCheck) {
    ASSERT_EQ(client.reqAddsvcCheck(w(u"SVCX"), w(u"12345678901234567890")), S_OK);
    const std::string expected =
        frameHead("00093", kSpaces40, "0000015", kSite) + "SVC" + "12345678901";
    EXPECT_EQ(onlyFrame(service), expected);
}

TEST_F(Frames, Auth) {
    ASSERT_EQ(client.reqAuth(w(utf16(kNumber)), 0, 12345, OTPCLI::AUTH_LEVEL_2, w(u"extra")), S_OK);
    const std::string expected = frameHead("00196", kSpaces40, "0000004", kSite) +
                                 identityBlock(sha1Hex(kNumber) + "0012345", kKey) + "2" + "extra" +
                                 std::string(15, ' ');
    EXPECT_EQ(onlyFrame(service), expected);
}

TEST_F(Frames, AuthFields) {
    struct Case {
        int otp;
        int level;
        std::u16string extra;
        bool nullExtra;
        std::string otpDigits;
        std::string tail;
    };
    const std::string korean = cp949("가나다라마바사아자차카");  // 22 bytes
    const Case cases[] = {
        {0, 1, u"", true, "0000000", "1" + std::string(20, ' ')},
        {9999999, 0, u"", false, "9999999", "0" + std::string(20, ' ')},
        {7, 12, u"1234567890123456789012345", false, "0000007", "212345678901234567890"},
        // The 20th byte is the first half of a double-byte character: cut there.
        {1, 1, utf16("A가나다라마바사아자차"), false, "0000001", "1A" + korean.substr(0, 19)},
        // A negative level is sent as written, '0' - 1.
        {5, -1, u"", true, "0000005", "/" + std::string(20, ' ')},
    };
    for (const Case& c : cases) {
        const unsigned short* extra = c.nullExtra ? nullptr : w(c.extra);
        ASSERT_EQ(client.reqAuth(w(utf16(kNumber)), 0, c.otp, c.level, extra), S_OK);
        const std::string frame = service.frames().back();
        ASSERT_EQ(frame.size(), 201u);
        EXPECT_EQ(frame.substr(0, 5), "00196");
        EXPECT_EQ(frame.substr(84, 96), identityBlock(sha1Hex(kNumber) + c.otpDigits, kKey));
        EXPECT_EQ(frame.substr(180), c.tail) << c.otp;
    }
}

TEST_F(Frames, MembershipDifferOnlyInTransactionCode) {
    const std::string body = identityBlock(sha1Hex(kNumber), kKey);
    ASSERT_EQ(client.reqJoin(w(utf16(kNumber)), 0), S_OK);
    ASSERT_EQ(client.reqClose(w(utf16(kNumber)), 0), S_OK);
    ASSERT_EQ(client.reqInitAuthErr(w(utf16(kNumber)), 0), S_OK);
    ASSERT_EQ(client.reqJoin(w(utf16(kNumber)), 0), S_OK);
    const auto frames = service.frames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0], frameHead("00175", kSpaces40, "0000200", kSite) + body);
    EXPECT_EQ(frames[1], frameHead("00175", kSpaces40, "0000201", kSite) + body);
    EXPECT_EQ(frames[2], frameHead("00175", kSpaces40, "0000008", kSite) + body);
    EXPECT_EQ(frames[3], frames[0]);  // the sealing has no per-call variation
}

TEST_F(Frames, SiteIdOfExactly32BytesHasNoNul) {
    const std::string site32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    ASSERT_EQ(client.init(service.port(), w(utf16(site32)), w(utf16(kKey))), S_OK);
    ASSERT_EQ(client.reqAddsvcCheck(w(u"C"), w(u"V")), S_OK);
    EXPECT_EQ(service.frames().back().substr(52, 32), site32);
    // A code shorter than three bytes is followed by spaces.
    EXPECT_EQ(service.frames().back().substr(84), "C  V          ");
}

TEST_F(Frames, IdentityTextFormMatchesNumberForm) {
    BSTR hash = nullptr;
    ASSERT_EQ(client.hashValue(w(utf16(kNumber)), &hash), S_OK);
    const std::u16string text = take(hash);
    ASSERT_EQ(text.size(), 40u);

    ASSERT_EQ(client.reqReissue(w(utf16(kNumber)), 0, w(u"C"), w(u"V")), S_OK);
    ASSERT_EQ(client.reqReissue(w(text), 1, w(u"C"), w(u"V")), S_OK);
    ASSERT_EQ(client.reqCheck(w(utf16(kNumber)), 0, w(u"C"), w(u"V")), S_OK);
    ASSERT_EQ(client.reqCheck(w(text), 1, w(u"C"), w(u"V")), S_OK);
    ASSERT_EQ(client.reqAuth(w(utf16(kNumber)), 0, 1, 1, nullptr), S_OK);
    ASSERT_EQ(client.reqAuth(w(text), 1, 1, 1, nullptr), S_OK);
    ASSERT_EQ(client.reqJoin(w(utf16(kNumber)), 0), S_OK);
    ASSERT_EQ(client.reqJoin(w(text), 1), S_OK);
    const auto frames = service.frames();
    ASSERT_EQ(frames.size(), 8u);
    for (std::size_t i = 0; i < frames.size(); i += 2) {
        EXPECT_EQ(frames[i], frames[i + 1]) << i;
    }
}

TEST_F(Frames, OtherIdentityFormsHashWithoutTheNumberCheck) {
    const std::string notANumber = "not a resident number";
    ASSERT_EQ(client.reqJoin(w(utf16(notANumber)), 2), S_OK);
    ASSERT_EQ(client.reqAuth(w(utf16(notANumber)), -7, 42, 1, nullptr), S_OK);
    // Upper-case text of 40 bytes is sealed unchanged under the text form.
    const std::string upper(40, 'F');
    ASSERT_EQ(client.reqClose(w(utf16(upper)), 1), S_OK);
    const auto frames = service.frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].substr(84), identityBlock(sha1Hex(notANumber), kKey));
    EXPECT_EQ(frames[1].substr(84, 96), identityBlock(sha1Hex(notANumber) + "0000042", kKey));
    EXPECT_EQ(frames[2].substr(84), identityBlock(upper, kKey));
}

TEST_F(Frames, KoreanTextsCountBytesInTheirFields) {
    // "가나다라마바" is 12 bytes in code page 949: the value field keeps 11.
    ASSERT_EQ(client.reqAddsvcCheck(w(utf16("한국")), w(utf16("가나다라마바"))), S_OK);
    const std::string frame = service.frames().back();
    EXPECT_EQ(frame.substr(84, 3), cp949("한국").substr(0, 3));
    EXPECT_EQ(frame.substr(87), cp949("가나다라마바").substr(0, 11));
}

TEST_F(Frames, EmptyKeyMaterialSealsUnderTheEmptyDigest) {
    ASSERT_EQ(client.init(service.port(), w(utf16(kSite)), w(u"")), S_OK);
    ASSERT_EQ(client.reqJoin(w(utf16(kNumber)), 0), S_OK);
    EXPECT_EQ(service.frames().back().substr(84), identityBlock(sha1Hex(kNumber), ""));
}

}  // namespace
}  // namespace otpcli::test
