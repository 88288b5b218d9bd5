// The C interface against the class: for the same arguments, in UTF-8 and in
// UTF-16, the same request frames on the wire and the same outcome.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <otpcli/otpcli_c.h>
#include <otpcli/otpcli.hpp>

#include "requests/recording_service.h"

namespace {

using otpcli::Text;
using otpcli::test::RecordingService;

const char kSite[] = "SITE01";
const char kKey[] = "site key material";
const char kNumber[] = "8505031234565";
// hashValue of kNumber, for identity form 1.
const char kNumberText[] = "736d57421d4e57421a57c4c5df7762d5a1ba1faf";
// 40 bytes of Korean text (20 characters), a valid identity text length too.
const char kKorean40[] = "가나다라마바사아자차카타파하거너더러머버";

struct Case {
    const char* name;
    std::function<HRESULT(OTPCLI&)> viaClass;
    std::function<otpcli_status(otpcli_client*)> viaC;
};

// Both calls with the same arguments, the class's texts made from the same
// UTF-8 by the companion header.
std::vector<Case> cases() {
    return {
        {"issue",
         [](OTPCLI& c) { return c.reqIssue(Text(kNumber), Text("ABCD"), Text("0101234567")); },
         [](otpcli_client* c) { return otpcli_issue(c, kNumber, "ABCD", "0101234567"); }},
        {"issue, Korean code and value cut inside a character",
         [](OTPCLI& c) { return c.reqIssue(Text(kNumber), Text("한국"), Text("가나다라마바")); },
         [](otpcli_client* c) { return otpcli_issue(c, kNumber, "한국", "가나다라마바"); }},
        {"issue, birth code refused",
         [](OTPCLI& c) { return c.reqIssue(Text("8505035234564"), Text("C"), Text("V")); },
         [](otpcli_client* c) { return otpcli_issue(c, "8505035234564", "C", "V"); }},
        {"reissue",
         [](OTPCLI& c) { return c.reqReissue(Text(kNumber), 0, Text("XY"), Text("123456789012")); },
         [](otpcli_client* c) { return otpcli_reissue(c, kNumber, 0, "XY", "123456789012"); }},
        {"reissue, Korean identity text",
         [](OTPCLI& c) { return c.reqReissue(Text(kKorean40), 1, Text("X"), Text("값")); },
         [](otpcli_client* c) { return otpcli_reissue(c, kKorean40, 1, "X", "값"); }},
        {"check",
         [](OTPCLI& c) { return c.reqCheck(Text(kNumber), 0, Text("SVC"), Text("VALUE")); },
         [](otpcli_client* c) { return otpcli_check(c, kNumber, 0, "SVC", "VALUE"); }},
        {"check, identity text",
         [](OTPCLI& c) { return c.reqCheck(Text(kNumberText), 1, Text("SVC"), Text("")); },
         [](otpcli_client* c) { return otpcli_check(c, kNumberText, 1, "SVC", ""); }},
        {"addsvc check",
         [](OTPCLI& c) { return c.reqAddsvcCheck(Text("SVCX"), Text("12345678901234567890")); },
         [](otpcli_client* c) { return otpcli_addsvc_check(c, "SVCX", "12345678901234567890"); }},
        {"addsvc check, a character code page 949 lacks",
         [](OTPCLI& c) { return c.reqAddsvcCheck(Text("😀"), Text("a😀b€ß")); },
         [](otpcli_client* c) { return otpcli_addsvc_check(c, "😀", "a😀b€ß"); }},
        {"auth", [](OTPCLI& c) { return c.reqAuth(Text(kNumber), 0, 12345, 2, Text("extra")); },
         [](otpcli_client* c) { return otpcli_auth(c, kNumber, 0, 12345, 2, "extra"); }},
        {"auth, no extra text",
         [](OTPCLI& c) { return c.reqAuth(Text(kNumberText), 1, 0, 1, nullptr); },
         [](otpcli_client* c) { return otpcli_auth(c, kNumberText, 1, 0, 1, nullptr); }},
        {"auth, Korean extra text over its field",
         [](OTPCLI& c) { return c.reqAuth(Text(kNumber), 0, 9999999, 13, Text(kKorean40)); },
         [](otpcli_client* c) { return otpcli_auth(c, kNumber, 0, 9999999, 13, kKorean40); }},
        {"auth, OTP over seven digits",
         [](OTPCLI& c) { return c.reqAuth(Text(kNumber), 0, 10000000, 1, nullptr); },
         [](otpcli_client* c) { return otpcli_auth(c, kNumber, 0, 10000000, 1, nullptr); }},
        {"join", [](OTPCLI& c) { return c.reqJoin(Text(kNumber), 0); },
         [](otpcli_client* c) { return otpcli_join(c, kNumber, 0); }},
        {"join, Korean identity hashed", [](OTPCLI& c) { return c.reqJoin(Text("홍길동"), 2); },
         [](otpcli_client* c) { return otpcli_join(c, "홍길동", 2); }},
        {"join, number refused", [](OTPCLI& c) { return c.reqJoin(Text("8505031234566"), 0); },
         [](otpcli_client* c) { return otpcli_join(c, "8505031234566", 0); }},
        {"close", [](OTPCLI& c) { return c.reqClose(Text(kNumber), 0); },
         [](otpcli_client* c) { return otpcli_close(c, kNumber, 0); }},
        {"close, identity text of 39 bytes",
         [](OTPCLI& c) { return c.reqClose(Text(std::string(kNumberText, 39)), 1); },
         [](otpcli_client* c) { return otpcli_close(c, std::string(kNumberText, 39).c_str(), 1); }},
        {"init auth err", [](OTPCLI& c) { return c.reqInitAuthErr(Text(kNumberText), 1); },
         [](otpcli_client* c) { return otpcli_init_auth_err(c, kNumberText, 1); }},
    };
}

struct Result {
    std::vector<std::string> frames;
    std::int32_t status;
    std::string code;
    std::string message;
};

class CInterfaceFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(otpcli_set_server_hosts("127.0.0.1", "127.0.0.1"), OTPCLI_OK);
        ASSERT_EQ(otpcli_create(&handle), OTPCLI_OK);
        ASSERT_EQ(otpcli_init(handle, service.port(), kSite, kKey), OTPCLI_OK);
        ASSERT_EQ(otpcli_set_connect_timeout(handle, 2), OTPCLI_OK);
        ASSERT_EQ(object.init(service.port(), Text(kSite), Text(kKey)), S_OK);
        object.setConnectTimeout(2);
    }
    void TearDown() override { otpcli_destroy(handle); }

    // The frames that one call sent, with its status and outcome.
    Result viaClass(const Case& c) {
        const std::size_t before = service.frames().size();
        const HRESULT status = c.viaClass(object);
        const otpcli::Outcome outcome = otpcli::lastOutcome(object);
        return {sentSince(before), static_cast<std::int32_t>(status), outcome.code,
                outcome.message};
    }
    Result viaC(const Case& c) {
        const std::size_t before = service.frames().size();
        const otpcli_status status = c.viaC(handle);
        const char* code = nullptr;
        const char* message = nullptr;
        EXPECT_EQ(otpcli_result_code(handle, &code), OTPCLI_OK);
        EXPECT_EQ(otpcli_result_message(handle, &message), OTPCLI_OK);
        return {sentSince(before), status, code, message};
    }

    std::vector<std::string> sentSince(std::size_t before) const {
        const auto all = service.frames();
        return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
    }

    RecordingService service;
    OTPCLI object;
    otpcli_client* handle = nullptr;
};

void expectSame(const Result& viaClass, const Result& viaC, const char* name) {
    EXPECT_EQ(viaC.frames, viaClass.frames) << name;
    EXPECT_EQ(viaC.status, viaClass.status) << name;
    EXPECT_EQ(viaC.code, viaClass.code) << name;
    EXPECT_EQ(viaC.message, viaClass.message) << name;
}

TEST_F(CInterfaceFrames, EveryRequestSendsTheClassesFrame) {
    for (const Case& c : cases()) {
        const Result a = viaClass(c);
        const Result b = viaC(c);
        expectSame(a, b, c.name);
    }
    // The table holds requests that reach the service and ones refused before.
    EXPECT_GE(service.frames().size(), 2u * 14u);
}

TEST_F(CInterfaceFrames, RefusalsOfTheServiceComeBackAsUtf8) {
    struct Reply {
        std::string code;
        std::string cp949;
        std::string utf8;
    };
    const Reply replies[] = {
        {"E500", "\xb0\xa1\xb3\xaa", "가나"},
#if !defined(_WIN32)
        // A byte that code page 949 does not define (Windows has a table of its own).
        {"E501", "a\x80z", "a\xef\xbf\xbdz"},
#endif
        {"E502", std::string(256, '\xff'), ""},
    };
    for (const Reply& r : replies) {
        service.setReply(RecordingService::reply(r.code, r.cp949));
        for (const Case& c : cases()) {
            const Result a = viaClass(c);
            const Result b = viaC(c);
            expectSame(a, b, c.name);
            if (!b.frames.empty()) {
                EXPECT_EQ(b.status, OTPCLI_E_FAIL) << c.name;
                EXPECT_EQ(b.code, r.code) << c.name;
                if (!r.utf8.empty()) {
                    EXPECT_EQ(b.message, r.utf8) << c.name;
                }
            }
        }
    }
}

TEST_F(CInterfaceFrames, ServiceChecksSucceedWithTheirKoreanMessage) {
    ASSERT_EQ(otpcli_addsvc_check(handle, "C", "V"), OTPCLI_OK);
    const char* code = nullptr;
    const char* message = nullptr;
    ASSERT_EQ(otpcli_result_code(handle, &code), OTPCLI_OK);
    ASSERT_EQ(otpcli_result_message(handle, &message), OTPCLI_OK);
    EXPECT_STREQ(code, "0000");
    EXPECT_STREQ(message, "서비스가 가능합니다.");
}

}  // namespace
