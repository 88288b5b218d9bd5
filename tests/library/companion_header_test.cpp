// The C++ companion header: text in, returned strings out, the last outcome.
#include <gtest/gtest.h>

#include <otpcli/otpcli.hpp>

#include "requests/recording_service.h"

namespace {

TEST(CompanionHeader, Utf8AndUtf16RoundTrip) {
    const std::string samples[] = {"", "abc", "가입자 확인", "x😀y", "€ and ß"};
    for (const std::string& s : samples) {
        EXPECT_EQ(otpcli::utf16ToUtf8(otpcli::utf8ToUtf16(s)), s);
    }
    EXPECT_EQ(otpcli::utf8ToUtf16("😀"), std::u16string(u"\xD83D\xDE00"));
}

TEST(CompanionHeader, MalformedTextBecomesReplacementCharacters) {
    EXPECT_EQ(otpcli::utf8ToUtf16("a\xff"
                                  "b"),
              u"a\uFFFDb");
    EXPECT_EQ(otpcli::utf8ToUtf16("a\xe0\x80\x80"
                                  "b"),
              u"a\uFFFD"
              u"b");                                            // overlong
    EXPECT_EQ(otpcli::utf8ToUtf16("\xed\xa0\x80"), u"\uFFFD");  // a surrogate
    EXPECT_EQ(otpcli::utf8ToUtf16("\xe4\xb8"), u"\uFFFD");      // cut short
    EXPECT_EQ(otpcli::utf16ToUtf8(std::u16string(1, u'\xD800')), "\xef\xbf\xbd");
}

TEST(CompanionHeader, TextArgumentsAndReturnedStrings) {
    OTPCLI client;
    ASSERT_EQ(client.init(1234, otpcli::Text("사이트"), otpcli::Text(u"key")), S_OK);
    EXPECT_EQ(otpcli::hashValue(client, otpcli::Text("abc")),
              "a9993e364706816aba3e25717850c26c9cd0d89d");

    otpcli::ReturnedString host;
    ASSERT_EQ(client.getHost(host.out()), S_OK);
    EXPECT_FALSE(host.isNull());
    otpcli::ReturnedString moved(std::move(host));
    EXPECT_TRUE(host.isNull());  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_FALSE(moved.utf8().empty());
    // Handing the owner to another getter frees what it held first (checked by
    // the leak checker in the sanitizer build).
    ASSERT_EQ(client.getHost(moved.out()), S_OK);
    EXPECT_FALSE(moved.isNull());
}

TEST(CompanionHeader, LastOutcomeReadsCodeAndMessageAsUtf8) {
    otpcli::test::RecordingService service;
    service.setReply(otpcli::test::RecordingService::reply("E500", "\xb0\xa1"));  // "가"
    OTPCLI client;
    ASSERT_EQ(OTPCLI::setServerHosts(otpcli::Text("127.0.0.1"), otpcli::Text("127.0.0.1")), S_OK);
    ASSERT_EQ(client.init(service.port(), otpcli::Text("SITE"), otpcli::Text("KEY")), S_OK);

    EXPECT_EQ(otpcli::lastOutcome(client).code, "");
    EXPECT_EQ(client.reqAddsvcCheck(otpcli::Text("C"), otpcli::Text("V")), E_FAIL);
    const otpcli::Outcome outcome = otpcli::lastOutcome(client);
    EXPECT_EQ(outcome.code, "E500");
    EXPECT_EQ(outcome.message, "가");
    EXPECT_FALSE(outcome.ok());
}

}  // namespace
