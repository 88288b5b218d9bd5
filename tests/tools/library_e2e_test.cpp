// The library against a real otpd on loopback: every operation with its
// success and the service's refusals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "support/text.h"
#include "tools/otpd_process.h"
#include "tools/service_client.h"

namespace otpcli::test {
namespace {

const std::u16string kCode = u"010";
const std::u16string kValue = u"01012345678";

class LibraryAgainstOtpd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(otpd.start());
        ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
        configure(client, kSite, kKey);
    }

    void configure(ServiceClient& c, const std::string& site, const std::string& key) {
        ASSERT_EQ(c.init(otpd.port(), w(utf16(site)), w(utf16(key))), S_OK);
        c.setConnectTimeout(2);
    }

    HRESULT join(const std::string& number) { return client.reqJoin(w(utf16(number)), 0); }
    HRESULT issue(const std::string& number) {
        return client.reqIssue(w(utf16(number)), w(kCode), w(kValue));
    }
    HRESULT auth(const std::string& number, int otp) {
        return client.reqAuth(w(utf16(number)), 0, otp, OTPCLI::AUTH_LEVEL_1, nullptr);
    }
    HRESULT check(const std::string& number, int form = 0) {
        return client.reqCheck(w(utf16(number)), form, w(kCode), w(kValue));
    }
    // Issues an OTP and reads it back from the outbox.
    int issuedOtp(const std::string& number) {
        EXPECT_EQ(issue(number), S_OK) << client.code();
        const std::optional<std::string> otp = otpd.lastOtp(client.identityText(number));
        EXPECT_TRUE(otp.has_value());
        return otp ? std::stoi(*otp) : -1;
    }

    OtpdProcess otpd;
    ServiceClient client;
    const std::string person = residentNumber("850503123456");
    const std::string other = residentNumber("900101234567");
};

TEST_F(LibraryAgainstOtpd, MembershipLifecycle) {
    EXPECT_EQ(check(person), E_FAIL);
    EXPECT_EQ(client.code(), "S101");
    EXPECT_EQ(client.mesg(), cp949("가입되지 않은 사용자입니다."));

    EXPECT_EQ(join(person), S_OK);
    EXPECT_EQ(client.code(), "0000");
    EXPECT_EQ(client.mesg(), "");
    EXPECT_EQ(check(person), S_OK);
    EXPECT_EQ(client.mesg(), cp949("서비스가 가능합니다."));
    EXPECT_EQ(check(other), E_FAIL) << "only the joined subscriber is a member";

    EXPECT_EQ(join(person), E_FAIL);
    EXPECT_EQ(client.code(), "S102");
    EXPECT_EQ(client.mesg(), cp949("이미 가입된 사용자입니다."));

    EXPECT_EQ(client.reqClose(w(utf16(person)), 0), S_OK);
    EXPECT_EQ(check(person), E_FAIL);
    EXPECT_EQ(client.code(), "S101");
    EXPECT_EQ(client.reqClose(w(utf16(person)), 0), E_FAIL);
    EXPECT_EQ(client.code(), "S101");
}

TEST_F(LibraryAgainstOtpd, IdentityTextReachesTheSameSubscriberAsTheNumber) {
    const std::u16string text = utf16(client.identityText(person));
    ASSERT_EQ(text.size(), 40u);
    ASSERT_EQ(join(person), S_OK);

    EXPECT_EQ(client.reqJoin(w(text), 1), E_FAIL);
    EXPECT_EQ(client.code(), "S102");
    EXPECT_EQ(client.reqCheck(w(text), 1, w(kCode), w(kValue)), S_OK) << client.code();
    ASSERT_EQ(client.reqReissue(w(text), 1, w(kCode), w(kValue)), S_OK) << client.code();
    const std::optional<std::string> otp = otpd.lastOtp(client.identityText(person));
    ASSERT_TRUE(otp.has_value());
    EXPECT_EQ(auth(person, std::stoi(*otp)), S_OK) << client.code();
    EXPECT_EQ(client.reqClose(w(text), 1), S_OK);
    EXPECT_EQ(check(person), E_FAIL);
    EXPECT_EQ(client.code(), "S101");
}

TEST_F(LibraryAgainstOtpd, IssueDeliversAnOtpThatAuthenticatesOnce) {
    ASSERT_EQ(join(person), S_OK);
    ASSERT_EQ(issue(person), S_OK) << client.code();

    const auto lines = otpd.outboxLines();
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 4u);
    EXPECT_EQ(lines[0][0].size(), 6u);
    EXPECT_EQ(lines[0][0].find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(lines[0][1], client.identityText(person));
    EXPECT_EQ(lines[0][2], "010");
    EXPECT_EQ(lines[0][3], "01012345678");

    EXPECT_EQ(auth(person, std::stoi(lines[0][0])), S_OK) << client.code();
    EXPECT_EQ(client.mesg(), "");
    EXPECT_EQ(auth(person, std::stoi(lines[0][0])), E_FAIL) << "an OTP is used once";
    EXPECT_EQ(client.code(), "S104");
}

TEST_F(LibraryAgainstOtpd, ReissueReplacesTheOtp) {
    ASSERT_EQ(join(person), S_OK);
    const int first = issuedOtp(person);
    ASSERT_EQ(client.reqReissue(w(utf16(person)), 0, w(kCode), w(kValue)), S_OK);
    const int second = std::stoi(otpd.lastOtp(client.identityText(person)).value_or("-1"));
    if (first != second) {
        EXPECT_EQ(auth(person, first), E_FAIL);
        EXPECT_EQ(client.code(), "S103");
    }
    EXPECT_EQ(auth(person, second), S_OK) << client.code();
}

TEST_F(LibraryAgainstOtpd, FiveWrongOtpsLockUntilTheErrorsAreReset) {
    ASSERT_EQ(join(person), S_OK);
    const int otp = issuedOtp(person);
    const int wrong = (otp + 1) % 1000000;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(auth(person, wrong), E_FAIL);
        EXPECT_EQ(client.code(), "S103") << "attempt " << i + 1;
    }
    EXPECT_EQ(auth(person, otp), E_FAIL);
    EXPECT_EQ(client.code(), "S106");
    EXPECT_EQ(issue(person), E_FAIL);
    EXPECT_EQ(client.code(), "S106");

    EXPECT_EQ(client.reqInitAuthErr(w(utf16(person)), 0), S_OK) << client.code();
    EXPECT_EQ(auth(person, otp), E_FAIL) << "the lock withdrew the OTP";
    EXPECT_EQ(client.code(), "S104");
    EXPECT_EQ(auth(person, issuedOtp(person)), S_OK) << client.code();
}

TEST_F(LibraryAgainstOtpd, AWrongOtpCountsOnlyUntilTheRightOne) {
    ASSERT_EQ(join(person), S_OK);
    int otp = issuedOtp(person);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(auth(person, (otp + 1) % 1000000), E_FAIL);
    }
    ASSERT_EQ(auth(person, otp), S_OK) << client.code();
    otp = issuedOtp(person);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(auth(person, (otp + 1) % 1000000), E_FAIL);
        EXPECT_EQ(client.code(), "S103");
    }
    EXPECT_EQ(auth(person, otp), S_OK) << client.code();
}

TEST_F(LibraryAgainstOtpd, NonMembersAreRefusedByEverySubscriberOperation) {
    const std::u16string id = utf16(person);
    const struct {
        const char* name;
        HRESULT (*call)(ServiceClient&, const std::u16string&);
    } cases[] = {
        {"issue", [](ServiceClient& c,
                     const std::u16string& u) { return c.reqIssue(w(u), w(kCode), w(kValue)); }},
        {"reissue",
         [](ServiceClient& c, const std::u16string& u) {
             return c.reqReissue(w(u), 0, w(kCode), w(kValue));
         }},
        {"auth", [](ServiceClient& c,
                    const std::u16string& u) { return c.reqAuth(w(u), 0, 123456, 1, nullptr); }},
        {"close", [](ServiceClient& c, const std::u16string& u) { return c.reqClose(w(u), 0); }},
        {"init-auth-err",
         [](ServiceClient& c, const std::u16string& u) { return c.reqInitAuthErr(w(u), 0); }},
        {"check", [](ServiceClient& c,
                     const std::u16string& u) { return c.reqCheck(w(u), 0, w(kCode), w(kValue)); }},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(client, id), E_FAIL) << c.name;
        EXPECT_EQ(client.code(), "S101") << c.name;
    }
    EXPECT_EQ(otpd.outbox(), "") << "nothing is delivered to a non-member";
}

TEST_F(LibraryAgainstOtpd, AuthenticationWithoutAnIssuedOtp) {
    ASSERT_EQ(join(person), S_OK);
    EXPECT_EQ(auth(person, 0), E_FAIL);
    EXPECT_EQ(client.code(), "S104");
}

TEST_F(LibraryAgainstOtpd, AdditionalServiceCheckIsAvailableForAKnownSite) {
    EXPECT_EQ(client.reqAddsvcCheck(w(kCode), w(kValue)), S_OK) << client.code();
    EXPECT_EQ(client.code(), "0000");
    EXPECT_EQ(client.mesg(), cp949("서비스가 가능합니다."));
}

TEST_F(LibraryAgainstOtpd, UnknownSiteIsRefused) {
    ServiceClient stranger;
    configure(stranger, "NOSITE", kKey);
    EXPECT_EQ(stranger.reqJoin(w(utf16(person)), 0), E_FAIL);
    EXPECT_EQ(stranger.code(), "S201");
    EXPECT_EQ(stranger.reqAddsvcCheck(w(kCode), w(kValue)), E_FAIL);
    EXPECT_EQ(stranger.code(), "S201");
}

TEST_F(LibraryAgainstOtpd, ABlockSealedUnderAnotherKeyDoesNotOpen) {
    ServiceClient impostor;
    configure(impostor, kSite, "not the site's key");
    EXPECT_EQ(impostor.reqJoin(w(utf16(person)), 0), E_FAIL);
    EXPECT_EQ(impostor.code(), "S202");
    // The checks carry no sealed block, so the key does not matter to them.
    EXPECT_EQ(impostor.reqAddsvcCheck(w(kCode), w(kValue)), S_OK);
}

TEST(LibraryAgainstConfiguredOtpd, SitesFromAFileWithKoreanKeyMaterial) {
    OtpdProcess otpd;
    const std::string config =
        ::testing::TempDir() + "otpd-sites-" + std::to_string(::getpid()) + ".conf";
    {
        std::ofstream file(config);
        file << "# sites\n\n가맹점:한글 키 자료\r\nPLAIN:abc:def\n";
    }
    const bool started = otpd.start({"--config", config});
    std::remove(config.c_str());
    ASSERT_TRUE(started);
    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
    const struct {
        const char* site;
        const char* key;
        std::string person;
    } sites[] = {{"가맹점", "한글 키 자료", residentNumber("850503123456")},
                 {"PLAIN", "abc:def", residentNumber("900101234567")}};
    for (const auto& s : sites) {
        ServiceClient client;
        ASSERT_EQ(client.init(otpd.port(), w(utf16(s.site)), w(utf16(s.key))), S_OK);
        EXPECT_EQ(client.reqJoin(w(utf16(s.person)), 0), S_OK) << s.site << " " << client.code();
        EXPECT_EQ(client.reqJoin(w(utf16(s.person)), 0), E_FAIL) << s.site;
        EXPECT_EQ(client.code(), "S102") << s.site;
    }
}

TEST(LibraryAgainstShortLivedOtps, AnExpiredOtpIsRefused) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({"--otp-ttl", "1", "--otp-digits", "7"}));
    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
    ServiceClient client;
    ASSERT_EQ(client.init(otpd.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
    const std::string person = residentNumber("850503123456");
    ASSERT_EQ(client.reqJoin(w(utf16(person)), 0), S_OK);
    ASSERT_EQ(client.reqIssue(w(utf16(person)), w(kCode), w(kValue)), S_OK);
    const std::string otp = otpd.lastOtp(client.identityText(person)).value_or("");
    EXPECT_EQ(otp.size(), 7u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(client.reqAuth(w(utf16(person)), 0, std::stoi(otp), 1, nullptr), E_FAIL);
    EXPECT_EQ(client.code(), "S105");
}

}  // namespace
}  // namespace otpcli::test
