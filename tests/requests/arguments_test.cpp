// Argument errors of every operation, in the order they are checked, with
// nothing sent to the service.
#include <functional>
#include <string>

#include "client/messages.h"
#include "requests/request_fixture.h"
#include "support/codepage_seams.h"

namespace otpcli::test {
namespace {

const std::u16string kNumber = u"8505031234565";
const std::u16string kBadNumber = u"8505031234566";  // wrong check digit
const std::u16string kNoCentury = u"0101015123453";  // seventh character 5
const std::u16string kText40(40, u'a');
const std::u16string kText39(39, u'a');
const std::u16string kText41(41, u'a');

struct Case {
    const char* name;
    std::function<HRESULT(Client&)> call;
    Result want;
};

using Arguments = RequestTest;

TEST_F(Arguments, RefusedBeforeAnythingIsSent) {
    const Case cases[] = {
        // Null texts come first, even before an invalid identity.
        {"issue null user", [](Client& c) { return c.reqIssue(nullptr, w(u"C"), w(u"V")); },
         kNullArgument},
        {"issue null code", [](Client& c) { return c.reqIssue(w(kBadNumber), nullptr, w(u"V")); },
         kNullArgument},
        {"issue null value", [](Client& c) { return c.reqIssue(w(kBadNumber), w(u"C"), nullptr); },
         kNullArgument},
        {"issue bad number", [](Client& c) { return c.reqIssue(w(kBadNumber), w(u"C"), w(u"V")); },
         kBadResidentNumber},
        {"issue short number",
         [](Client& c) { return c.reqIssue(w(u"850503123456"), w(u"C"), w(u"V")); },
         kBadResidentNumber},
        {"issue no century", [](Client& c) { return c.reqIssue(w(kNoCentury), w(u"C"), w(u"V")); },
         kBadBirthCode},
        {"reissue null value",
         [](Client& c) { return c.reqReissue(w(kBadNumber), 1, w(u"C"), nullptr); }, kNullArgument},
        {"reissue bad number",
         [](Client& c) { return c.reqReissue(w(kBadNumber), 0, w(u"C"), w(u"V")); },
         kBadResidentNumber},
        {"reissue number as text",
         [](Client& c) { return c.reqReissue(w(kNumber), 1, w(u"C"), w(u"V")); }, kBadIdentityText},
        {"reissue text 41", [](Client& c) { return c.reqReissue(w(kText41), 1, w(u"C"), w(u"V")); },
         kBadIdentityText},
        {"check null code", [](Client& c) { return c.reqCheck(w(kNumber), 0, nullptr, w(u"V")); },
         kNullArgument},
        // The check tests the number under every form but the text form.
        {"check bad number form 2",
         [](Client& c) { return c.reqCheck(w(kBadNumber), 2, w(u"C"), w(u"V")); },
         kBadResidentNumber},
        {"check text 39", [](Client& c) { return c.reqCheck(w(kText39), 1, w(u"C"), w(u"V")); },
         kBadIdentityText},
        {"check number as text",
         [](Client& c) { return c.reqCheck(w(kNumber), 1, w(u"C"), w(u"V")); }, kBadIdentityText},
        {"addsvc null value", [](Client& c) { return c.reqAddsvcCheck(w(u"C"), nullptr); },
         kNullArgument},
        {"addsvc null code", [](Client& c) { return c.reqAddsvcCheck(nullptr, w(u"V")); },
         kNullArgument},
        // Authentication: null, then the OTP range, then the identity.
        {"auth null user with bad otp",
         [](Client& c) { return c.reqAuth(nullptr, 0, 10'000'000, 1, nullptr); }, kNullArgument},
        {"auth otp too large",
         [](Client& c) { return c.reqAuth(w(kBadNumber), 0, 10'000'000, 1, nullptr); },
         kBadOtpValue},
        {"auth otp negative", [](Client& c) { return c.reqAuth(w(kText39), 1, -1, 1, nullptr); },
         kBadOtpValue},
        {"auth bad number", [](Client& c) { return c.reqAuth(w(kBadNumber), 0, 1, 1, nullptr); },
         kBadResidentNumber},
        {"auth text 39", [](Client& c) { return c.reqAuth(w(kText39), 1, 1, 1, w(u"x")); },
         kBadIdentityText},
        {"join null", [](Client& c) { return c.reqJoin(nullptr, 0); }, kNullArgument},
        {"join bad number", [](Client& c) { return c.reqJoin(w(kBadNumber), 0); },
         kBadResidentNumber},
        {"close text 41", [](Client& c) { return c.reqClose(w(kText41), 1); }, kBadIdentityText},
        {"close empty text", [](Client& c) { return c.reqClose(w(u""), 1); }, kBadIdentityText},
        {"init-auth-err bad number", [](Client& c) { return c.reqInitAuthErr(w(kBadNumber), 0); },
         kBadResidentNumber},
        {"init-auth-err null", [](Client& c) { return c.reqInitAuthErr(nullptr, 3); },
         kNullArgument},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(client), E_FAIL) << c.name;
        EXPECT_EQ(client.code(), c.want.code) << c.name;
        EXPECT_EQ(client.mesg(), c.want.mesg) << c.name;
    }
    EXPECT_EQ(service.connections(), 0);
}

// A text that cannot be converted to code page 949 fails the request with
// E001 before anything is sent: one beyond ASCII when the system has no
// converter (instead of '?' for each such character, sealed and sent as if
// right), and any text longer than a conversion takes. ASCII needs no
// converter.
TEST_F(Arguments, TextsThatCannotBeConvertedGiveE001) {
    const std::u16string korean = utf16("홍길동");
    struct Call {
        const char* name;
        std::function<HRESULT(Client&)> call;
    };
    const Call calls[] = {
        {"issue code", [&](Client& c) { return c.reqIssue(w(kNumber), w(korean), w(u"V")); }},
        {"issue value", [&](Client& c) { return c.reqIssue(w(kNumber), w(u"C"), w(korean)); }},
        {"reissue id form 2",
         [&](Client& c) { return c.reqReissue(w(korean), 2, w(u"C"), w(u"V")); }},
        {"check value", [&](Client& c) { return c.reqCheck(w(kNumber), 0, w(u"C"), w(korean)); }},
        {"addsvc code", [&](Client& c) { return c.reqAddsvcCheck(w(korean), w(u"V")); }},
        {"auth extra", [&](Client& c) { return c.reqAuth(w(kNumber), 0, 1, 1, w(korean)); }},
        {"auth id form 3", [&](Client& c) { return c.reqAuth(w(korean), 3, 1, 1, nullptr); }},
        {"join id form 2", [&](Client& c) { return c.reqJoin(w(korean), 2); }},
        {"close id form 5", [&](Client& c) { return c.reqClose(w(korean), 5); }},
        {"init-auth-err id form 2", [&](Client& c) { return c.reqInitAuthErr(w(korean), 2); }},
    };
    const auto expectE001 = [&](const char* how) {
        for (const Call& c : calls) {
            EXPECT_EQ(c.call(client), E_FAIL) << how << ": " << c.name;
            EXPECT_EQ(client.code(), kConversionFailed.code) << how << ": " << c.name;
            EXPECT_EQ(client.mesg(), kConversionFailed.mesg) << how << ": " << c.name;
        }
    };
    {
        const WithoutConverter noConverter;
        expectE001("no converter");
        EXPECT_EQ(client.reqJoin(w(kNumber), 0), S_OK);
    }
    EXPECT_EQ(service.connections(), 1);
    {
        const WithTextLength fake(kUnitsTooMany);
        expectE001("too long");
    }
    EXPECT_EQ(service.connections(), 1);
}

TEST_F(Arguments, FailureLeavesConfigurationUntouched) {
    client.setConnectTimeout(3);
    EXPECT_EQ(client.reqJoin(nullptr, 0), E_FAIL);
    int port = 0;
    int timeout = 0;
    client.getPort(&port);
    client.getConnectTimeout(&timeout);
    EXPECT_EQ(port, service.port());
    EXPECT_EQ(timeout, 3);
}

}  // namespace
}  // namespace otpcli::test
