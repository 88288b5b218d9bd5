// The pure request-frame parser: the frames the library really sends, and
// every way a byte string can fail to be a frame.
#include <gtest/gtest.h>

#include <variant>

#include "identity_block.h"
#include "request_frame.h"
#include "requests/recording_service.h"
#include "support/text.h"
#include "tools/hand_frames.h"

namespace otpcli::test {
namespace {

using otpd::FrameError;
using otpd::parseRequestFrame;
using otpd::RequestFrame;
using otpd::Transaction;

constexpr char kSiteId[] = "SITE-7";
constexpr char kKeyText[] = "parser key material";

class Client : public OTPCLI {};

// Sends one request from the library to a recording service and parses the
// frame it recorded.
class LibraryFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
        ASSERT_EQ(client.init(service.port(), w(utf16(kSiteId)), w(utf16(kKeyText))), S_OK);
        client.setConnectTimeout(2);
    }

    RequestFrame lastFrame(Transaction expected) {
        const std::vector<std::string> frames = service.frames();
        EXPECT_FALSE(frames.empty());
        auto parsed = parseRequestFrame(frames.empty() ? std::string() : frames.back());
        EXPECT_TRUE(std::holds_alternative<RequestFrame>(parsed));
        if (!std::holds_alternative<RequestFrame>(parsed)) {
            return {};
        }
        RequestFrame frame = std::get<RequestFrame>(parsed);
        EXPECT_EQ(frame.transaction->transaction, expected);
        EXPECT_EQ(frame.siteId, kSiteId);
        return frame;
    }

    std::string opened(const RequestFrame& frame) {
        return otpd::openIdentityBlock(otpd::siteSealingKey(kKeyText), frame.identityBlock)
            .value_or("<does not open>");
    }

    RecordingService service;
    Client client;
    const std::u16string number = u"8505031234565";
    const std::string identity = [this] {
        BSTR hash = nullptr;
        client.hashValue(w(number), &hash);
        const std::u16string text = take(hash);
        return std::string(text.begin(), text.end());
    }();
};

TEST_F(LibraryFrames, IssueCarriesBirthDataAndTheCodeValuePair) {
    ASSERT_EQ(client.reqIssue(w(number), w(u"SMS"), w(u"01012345678")), S_OK);
    const RequestFrame frame = lastFrame(Transaction::kIssue);
    EXPECT_EQ(opened(frame), identity);
    EXPECT_EQ(frame.birthDate, "19850503");
    EXPECT_EQ(frame.sexLetter, 'M');
    EXPECT_EQ(frame.codeText, "SMS");
    EXPECT_EQ(frame.valueText, "01012345678");
    EXPECT_EQ(frame.identityField, std::string(40, ' '));
}

TEST_F(LibraryFrames, ReissueCarriesACodeValuePairWithTrailingSpacesRemoved) {
    ASSERT_EQ(client.reqReissue(w(number), 0, w(u"EML"), w(u"a b")), S_OK);
    const RequestFrame frame = lastFrame(Transaction::kReissue);
    EXPECT_EQ(opened(frame), identity);
    EXPECT_EQ(frame.codeText, "EML");
    EXPECT_EQ(frame.valueText, "a b");
}

TEST_F(LibraryFrames, AuthSealsTheOtpAfterTheIdentity) {
    ASSERT_EQ(client.reqAuth(w(number), 0, 12345, 2, w(u"메모")), S_OK);
    const RequestFrame frame = lastFrame(Transaction::kAuth);
    EXPECT_EQ(opened(frame), identity + "0012345");
    EXPECT_EQ(frame.authLevel, '2');
    EXPECT_EQ(frame.extraText, cp949("메모"));
}

TEST_F(LibraryFrames, MembershipFramesCarryOnlyTheBlock) {
    const struct {
        HRESULT (OTPCLI::*call)(const unsigned short*, int);
        Transaction transaction;
    } cases[] = {{&OTPCLI::reqJoin, Transaction::kJoin},
                 {&OTPCLI::reqClose, Transaction::kClose},
                 {&OTPCLI::reqInitAuthErr, Transaction::kInitAuthErr}};
    for (const auto& c : cases) {
        ASSERT_EQ((client.*c.call)(w(number), 0), S_OK);
        EXPECT_EQ(opened(lastFrame(c.transaction)), identity);
    }
}

TEST_F(LibraryFrames, ChecksCarryTheirFieldsInClear) {
    ASSERT_EQ(client.reqCheck(w(number), 0, w(u"010"), w(u"value")), S_OK);
    RequestFrame frame = lastFrame(Transaction::kCheck);
    EXPECT_EQ(frame.identityField, identity);
    EXPECT_EQ(frame.identityBlock, "");
    EXPECT_EQ(frame.codeText, "010");
    EXPECT_EQ(frame.valueText, "value");

    ASSERT_EQ(client.reqAddsvcCheck(w(u"ADD"), w(u"12345678901234")), S_OK);
    frame = lastFrame(Transaction::kAddsvcCheck);
    EXPECT_EQ(frame.identityField, std::string(40, ' '));
    EXPECT_EQ(frame.codeText, "ADD");
    EXPECT_EQ(frame.valueText, "12345678901");
}

TEST(FrameParser, ASiteFieldWithoutNulIsTheWholeField) {
    const std::string site(32, 'S');
    const auto parsed = parseRequestFrame(handFrame("0000015", site, "010" + std::string(11, ' ')));
    ASSERT_TRUE(std::holds_alternative<RequestFrame>(parsed));
    EXPECT_EQ(std::get<RequestFrame>(parsed).siteId, site);
}

TEST(FrameParser, ByteStringsThatAreNotFrames) {
    const std::string join = handFrame("0000200", "S", std::string(96, 'a'));
    const struct {
        const char* name;
        std::string bytes;
        FrameError error;
    } cases[] = {
        {"empty", "", FrameError::kBadLengthField},
        {"four bytes", "0017", FrameError::kBadLengthField},
        {"space in the length field", " 0175" + join.substr(5), FrameError::kBadLengthField},
        {"sign in the length field", "+0175" + join.substr(5), FrameError::kBadLengthField},
        {"length field counts one byte more", "00176" + join.substr(5),
         FrameError::kLengthMismatch},
        {"length field counts one byte less", "00174" + join.substr(5),
         FrameError::kLengthMismatch},
        {"length field alone", "00000", FrameError::kTooShort},
        {"head cut before the site field ends", join.substr(0, 83).replace(0, 5, "00078"),
         FrameError::kTooShort},
        {"unknown transaction", std::string(join).replace(45, 7, "0000099"),
         FrameError::kUnknownTransaction},
        {"a join one byte long", "00176" + join.substr(5) + "x", FrameError::kWrongLength},
        {"a check as long as a join", std::string(join).replace(45, 7, "0000009"),
         FrameError::kWrongLength},
        {"byte after the site's NUL", std::string(join).replace(60, 1, "x"),
         FrameError::kBadSiteField},
    };
    for (const auto& c : cases) {
        const auto parsed = parseRequestFrame(c.bytes);
        ASSERT_TRUE(std::holds_alternative<FrameError>(parsed)) << c.name;
        EXPECT_EQ(std::get<FrameError>(parsed), c.error) << c.name;
    }
}

TEST(FrameParser, EveryTransactionAtItsOwnLength) {
    const struct {
        const char* code;
        std::size_t length;
        Transaction transaction;
    } cases[] = {
        {"0000006", 203, Transaction::kIssue}, {"0000007", 194, Transaction::kReissue},
        {"0000009", 98, Transaction::kCheck},  {"0000015", 98, Transaction::kAddsvcCheck},
        {"0000004", 201, Transaction::kAuth},  {"0000200", 180, Transaction::kJoin},
        {"0000201", 180, Transaction::kClose}, {"0000008", 180, Transaction::kInitAuthErr},
    };
    for (const auto& c : cases) {
        const std::string frame = handFrame(c.code, "S", std::string(c.length - 84, '0'));
        const auto parsed = parseRequestFrame(frame);
        ASSERT_TRUE(std::holds_alternative<RequestFrame>(parsed)) << c.code;
        EXPECT_EQ(std::get<RequestFrame>(parsed).transaction->transaction, c.transaction);
        EXPECT_TRUE(std::holds_alternative<FrameError>(
            parseRequestFrame(handFrame(c.code, "S", std::string(c.length - 83, '0')))))
            << c.code << " one byte longer";
    }
}

TEST(FrameParser, OneChangedByteAnywhereIsCaughtOrCarried) {
    // Overwriting any byte of a valid frame with 'x' breaks the length field,
    // the transaction code or the site field, or is a frame whose fields carry
    // the change.
    const std::string frame = handFrame("0000006", "SITE", std::string(119, '7'));
    for (std::size_t i = 0; i < frame.size(); ++i) {
        std::string changed = frame;
        changed[i] = 'x';
        const auto parsed = parseRequestFrame(changed);
        if (i < 5) {
            EXPECT_EQ(std::get<FrameError>(parsed), FrameError::kBadLengthField) << i;
        } else if (i >= 45 && i < 52) {
            EXPECT_EQ(std::get<FrameError>(parsed), FrameError::kUnknownTransaction) << i;
        } else if (i >= 57 && i < 84) {
            // Byte 56 ends the site identifier: overwriting it lengthens the
            // identifier, any later one leaves junk after its end.
            EXPECT_EQ(std::get<FrameError>(parsed), FrameError::kBadSiteField) << i;
        } else {
            ASSERT_TRUE(std::holds_alternative<RequestFrame>(parsed)) << i;
            const RequestFrame& f = std::get<RequestFrame>(parsed);
            const std::string fields = f.identityField + f.siteId + f.identityBlock + f.birthDate +
                                       f.sexLetter + f.codeText + f.valueText;
            EXPECT_NE(fields.find('x'), std::string::npos) << i;
        }
    }
}

TEST(FrameParser, LengthFieldReading) {
    EXPECT_EQ(otpd::readLengthField("00000"), 0);
    EXPECT_EQ(otpd::readLengthField("00198"), 198);
    EXPECT_EQ(otpd::readLengthField("99999"), 99999);
    EXPECT_EQ(otpd::readLengthField(" 0198"), -1);
    EXPECT_EQ(otpd::readLengthField("-0198"), -1);
    EXPECT_EQ(otpd::readLengthField("0019"), -1);
    EXPECT_EQ(otpd::readLengthField("001988"), -1);
}

}  // namespace
}  // namespace otpcli::test
