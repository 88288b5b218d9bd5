#include <gtest/gtest.h>

#include <string>

#include "client/messages.h"
#include "support/text.h"

using otpcli::test::cp949;
using otpcli::test::take;

namespace {

class ErrorState : public OTPCLI {
  public:
    void set(const char* code, const char* mesg) { setError(code, mesg); }
    std::string code() const { return errorCode; }
    std::string mesg() const { return errorMesg; }
};

TEST(ErrorState, SetErrorCases) {
    struct Case {
        const char* code;
        const char* mesg;
        std::string wantCode;
        std::string wantMesg;
    };
    const std::string other = cp949("그외 오류");
    const Case cases[] = {
        {"0000", "", "0000", ""},         {"E999", "text", "E999", "text"},
        {"ABCDE", "m", "ABCD", "m"},      {"ABC", "m", "Z001", other},
        {"", "m", "Z001", other},         {nullptr, "m", "Z001", other},
        {"0000", nullptr, "Z001", other},
    };
    for (const Case& c : cases) {
        ErrorState state;
        state.set("PREV", "previous message that is longer");
        state.set(c.code, c.mesg);
        EXPECT_EQ(state.code(), c.wantCode) << (c.code ? c.code : "null");
        EXPECT_EQ(state.mesg(), c.wantMesg) << (c.code ? c.code : "null");
    }
}

TEST(ErrorState, MessageIsCutAt256Bytes) {
    ErrorState state;
    const std::string longMesg(300, 'm');
    state.set("E001", longMesg.c_str());
    EXPECT_EQ(state.mesg(), std::string(256, 'm'));
    const std::string exact(256, 'x');
    state.set("E001", exact.c_str());
    EXPECT_EQ(state.mesg(), exact);
}

TEST(ErrorState, MessagesMatchTheirKoreanText) {
    struct Entry {
        otpcli::Result result;
        const char* code;
        const char* utf8;
    };
    const Entry entries[] = {
        {otpcli::kSuccess, "0000", ""},
        {otpcli::kServiceAvailable, "0000", "서비스가 가능합니다."},
        {otpcli::kNullArgument, "P001", "입력값 중 널이 있습니다."},
        {otpcli::kBadOtpValue, "P002", "OTP값은 7자리 이하의 숫자이어야 합니다."},
        {otpcli::kBadResidentNumber, "P003", "주민등록번호 형식 오류."},
        {otpcli::kBadBirthCode, "P003", "주민번호 형식 오류"},
        {otpcli::kBadIdentityText, "P003", "입력데이터가 잘못 되었습니다."},
        {otpcli::kSealingFailed, "C001", "암호화 오류가 발생하였습니다."},
        {otpcli::kOutOfMemory, "A001", "메모리할당 오류"},
        {otpcli::kCannotConnect, "N001", "서버에 접속할 수 없습니다."},
        {otpcli::kTransferFailed, "N002", "서버와 통신 중 IO에러가 발생하였습니다."},
        {otpcli::kConversionFailed, "E001", "문자코드 변환 오류"},
        {otpcli::kOtherError, "Z001", "그외 오류"},
    };
    ASSERT_EQ(std::size(entries), otpcli::kAllResults.size());
    for (const Entry& e : entries) {
        EXPECT_STREQ(e.result.code, e.code);
        EXPECT_EQ(std::string(e.result.mesg), cp949(e.utf8)) << e.utf8;
    }
}

TEST(ErrorState, GetterReturnsKoreanMessageAsUtf16) {
    ErrorState state;
    state.set(otpcli::kCannotConnect.code, otpcli::kCannotConnect.mesg);
    BSTR mesg = nullptr;
    ASSERT_EQ(state.getErrorMesg(&mesg), S_OK);
    EXPECT_EQ(take(mesg), otpcli::test::utf16("서버에 접속할 수 없습니다."));
}

}  // namespace
