// The C interface's refusals: null handles and outputs, null texts of a
// request, malformed UTF-8, configuration limits, and texts in and out.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <otpcli/otpcli_c.h>
#include <otpcli/otpcli.hpp>

#include "requests/recording_service.h"
#include "support/codepage_seams.h"

namespace {

using otpcli::test::RecordingService;

const char kNumber[] = "8505031234565";

std::string resultCode(otpcli_client* client) {
    const char* code = nullptr;
    EXPECT_EQ(otpcli_result_code(client, &code), OTPCLI_OK);
    return code == nullptr ? "<null>" : code;
}

std::string resultMessage(otpcli_client* client) {
    const char* message = nullptr;
    EXPECT_EQ(otpcli_result_message(client, &message), OTPCLI_OK);
    return message == nullptr ? "<null>" : message;
}

// A request with all its texts given, or with text number `which` replaced.
using Request = std::function<otpcli_status(otpcli_client*, const std::vector<const char*>&)>;

struct RequestCase {
    const char* name;
    int texts;  // the request's text arguments, in order
    bool lastOptional;
    Request call;
};

const RequestCase kRequests[] = {
    {"issue", 3, false,
     [](otpcli_client* c, const std::vector<const char*>& t) {
         return otpcli_issue(c, t[0], t[1], t[2]);
     }},
    {"reissue", 3, false,
     [](otpcli_client* c, const std::vector<const char*>& t) {
         return otpcli_reissue(c, t[0], 0, t[1], t[2]);
     }},
    {"check", 3, false,
     [](otpcli_client* c, const std::vector<const char*>& t) {
         return otpcli_check(c, t[0], 0, t[1], t[2]);
     }},
    {"addsvc check", 2, false,
     [](otpcli_client* c, const std::vector<const char*>& t) {
         return otpcli_addsvc_check(c, t[0], t[1]);
     }},
    {"auth", 2, true,
     [](otpcli_client* c, const std::vector<const char*>& t) {
         return otpcli_auth(c, t[0], 0, 123456, OTPCLI_AUTH_LEVEL_1, t[1]);
     }},
    {"join", 1, false,
     [](otpcli_client* c, const std::vector<const char*>& t) { return otpcli_join(c, t[0], 0); }},
    {"close", 1, false,
     [](otpcli_client* c, const std::vector<const char*>& t) { return otpcli_close(c, t[0], 0); }},
    {"init auth err", 1, false,
     [](otpcli_client* c, const std::vector<const char*>& t) {
         return otpcli_init_auth_err(c, t[0], 0);
     }},
};

// Well-formed texts for every request: the identity first.
std::vector<const char*> goodTexts(int n) {
    std::vector<const char*> texts{kNumber, "가나", "값"};
    texts.resize(static_cast<std::size_t>(n));
    return texts;
}

// Byte sequences that are not UTF-8, each inside otherwise good text.
const char* const kMalformed[] = {
    "a\xff",              // a byte UTF-8 never uses
    "\x80",               // a continuation byte without its lead
    "\xc0\xaf",           // an overlong '/'
    "\xe0\x80\xaf",       // the same, three bytes long
    "\xed\xa0\x80",       // a surrogate
    "\xf4\x90\x80\x80",   // past U+10FFFF
    "\xea\xb0",           // "가" cut short
    "\xea\xb0\x61",       // cut short before another character
    "8505031234565\xc3",  // cut short at the end
};

class CInterfaceArguments : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(otpcli_set_server_hosts("127.0.0.1", "127.0.0.1"), OTPCLI_OK);
        ASSERT_EQ(otpcli_create(&client), OTPCLI_OK);
        ASSERT_EQ(otpcli_init(client, service.port(), "SITE", "KEY"), OTPCLI_OK);
        ASSERT_EQ(otpcli_set_connect_timeout(client, 2), OTPCLI_OK);
    }
    void TearDown() override { otpcli_destroy(client); }

    RecordingService service;
    otpcli_client* client = nullptr;
};

TEST_F(CInterfaceArguments, NullHandleOrOutputGivesEPointer) {
    const char* text = nullptr;
    int value = 0;
    char hash[OTPCLI_HASH_SIZE];
    const std::pair<const char*, std::function<otpcli_status()>> calls[] = {
        {"create", [] { return otpcli_create(nullptr); }},
        {"init", [] { return otpcli_init(nullptr, 1, "S", "K"); }},
        {"set timeout", [] { return otpcli_set_connect_timeout(nullptr, 1); }},
        {"get timeout", [&] { return otpcli_get_connect_timeout(nullptr, &value); }},
        {"get timeout, no output", [&] { return otpcli_get_connect_timeout(client, nullptr); }},
        {"get port", [&] { return otpcli_get_port(nullptr, &value); }},
        {"get port, no output", [&] { return otpcli_get_port(client, nullptr); }},
        {"result code", [&] { return otpcli_result_code(nullptr, &text); }},
        {"result code, no output", [&] { return otpcli_result_code(client, nullptr); }},
        {"result message", [&] { return otpcli_result_message(nullptr, &text); }},
        {"result message, no output", [&] { return otpcli_result_message(client, nullptr); }},
        {"host", [&] { return otpcli_host(nullptr, &text); }},
        {"host, no output", [&] { return otpcli_host(client, nullptr); }},
        {"init, null site", [&] { return otpcli_init(client, 1, nullptr, "K"); }},
        {"init, null key", [&] { return otpcli_init(client, 1, "S", nullptr); }},
        {"hash, null text", [&] { return otpcli_hash_value(nullptr, hash); }},
        {"hash, no output", [&] { return otpcli_hash_value("abc", nullptr); }},
        {"hosts, null primary", [] { return otpcli_set_server_hosts(nullptr, "b"); }},
        {"hosts, null backup", [] { return otpcli_set_server_hosts("a", nullptr); }},
    };
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(), OTPCLI_E_POINTER) << name;
    }
    for (const RequestCase& r : kRequests) {
        EXPECT_EQ(r.call(nullptr, goodTexts(r.texts)), OTPCLI_E_POINTER) << r.name;
    }
    otpcli_destroy(nullptr);  // ignored
    EXPECT_TRUE(service.frames().empty());
}

TEST_F(CInterfaceArguments, NullTextOfARequestIsP001) {
    for (const RequestCase& r : kRequests) {
        for (int which = 0; which < r.texts; ++which) {
            std::vector<const char*> texts = goodTexts(r.texts);
            texts[static_cast<std::size_t>(which)] = nullptr;
            const otpcli_status status = r.call(client, texts);
            if (r.lastOptional && which == r.texts - 1) {
                // The extra text of auth may be left out: the request is sent.
                EXPECT_EQ(status, OTPCLI_OK) << r.name;
                continue;
            }
            EXPECT_EQ(status, OTPCLI_E_FAIL) << r.name << " text " << which;
            EXPECT_EQ(resultCode(client), "P001") << r.name << " text " << which;
            EXPECT_EQ(resultMessage(client), "입력값 중 널이 있습니다.") << r.name;
        }
    }
    EXPECT_EQ(service.frames().size(), 1u);  // the auth without extra text
}

TEST_F(CInterfaceArguments, MalformedTextIsRefusedBeforeAnythingIsSent) {
    for (const RequestCase& r : kRequests) {
        for (int which = 0; which < r.texts; ++which) {
            for (const char* bad : kMalformed) {
                // A result left by a request before: the refusal clears it.
                ASSERT_EQ(otpcli_join(client, "8505031234566", 0), OTPCLI_E_FAIL);
                ASSERT_EQ(resultCode(client), "P003");
                std::vector<const char*> texts = goodTexts(r.texts);
                texts[static_cast<std::size_t>(which)] = bad;
                EXPECT_EQ(r.call(client, texts), OTPCLI_E_INVALIDARG) << r.name << " " << which;
                EXPECT_EQ(resultCode(client), "") << r.name;
                EXPECT_EQ(resultMessage(client), "") << r.name;
            }
        }
    }
    // Malformed text wins over every other refusal of the request.
    EXPECT_EQ(otpcli_auth(client, "bad number", 0, 99999999, 1, "\xff"), OTPCLI_E_INVALIDARG);
    EXPECT_EQ(otpcli_issue(client, nullptr, "\xff", "v"), OTPCLI_E_INVALIDARG);
    EXPECT_TRUE(service.frames().empty());
    EXPECT_EQ(service.connections(), 0);

    char hash[OTPCLI_HASH_SIZE] = "untouched";
    for (const char* bad : kMalformed) {
        EXPECT_EQ(otpcli_hash_value(bad, hash), OTPCLI_E_INVALIDARG);
        EXPECT_EQ(otpcli_init(client, 7, bad, "KEY"), OTPCLI_E_INVALIDARG);
        EXPECT_EQ(otpcli_init(client, 7, "SITE", bad), OTPCLI_E_INVALIDARG);
        EXPECT_EQ(otpcli_set_server_hosts(bad, "127.0.0.1"), OTPCLI_E_INVALIDARG);
        EXPECT_EQ(otpcli_set_server_hosts("127.0.0.1", bad), OTPCLI_E_INVALIDARG);
    }
    EXPECT_STREQ(hash, "untouched");
    const char* host = nullptr;
    ASSERT_EQ(otpcli_host(client, &host), OTPCLI_OK);
    EXPECT_STREQ(host, "127.0.0.1");
}

TEST_F(CInterfaceArguments, InitCountsBytesOfCodePage949) {
    struct Case {
        std::string site;
        otpcli_status status;  // where a character code page 949 lacks is one '?'
    };
    std::string korean16;
    for (int i = 0; i < 16; ++i) {
        korean16 += "한";
    }
    std::string emoji32;  // each one '?': 32 bytes from 128 of UTF-8
    for (int i = 0; i < 32; ++i) {
        emoji32 += "😀";
    }
    const Case cases[] = {
        {std::string(32, 's'), OTPCLI_OK},
        {std::string(33, 's'), OTPCLI_E_INVALIDARG},
        {korean16, OTPCLI_OK},
        {korean16 + "a", OTPCLI_E_INVALIDARG},
        {emoji32, OTPCLI_OK},
        {emoji32 + "a", OTPCLI_E_INVALIDARG},
        {std::string(100000, 'x'), OTPCLI_E_INVALIDARG},
        {"", OTPCLI_OK},
    };
    for (const Case& c : cases) {
        OTPCLI object;
        const HRESULT viaClass = object.init(1, otpcli::Text(c.site), otpcli::Text("key"));
        const otpcli_status viaC = otpcli_init(client, 1, c.site.c_str(), "key");
        EXPECT_EQ(static_cast<HRESULT>(viaC), viaClass) << c.site;
#if !defined(_WIN32)
        // Windows writes a '?' for each UTF-16 unit of such a character.
        EXPECT_EQ(viaC, c.status) << c.site;
#endif
    }
    // As the class's init: the port is stored first, and a failing key leaves
    // the new site in place.
    int port = 0;
    EXPECT_EQ(otpcli_init(client, 4321, "SITE", std::string(33, 'k').c_str()), OTPCLI_E_INVALIDARG);
    ASSERT_EQ(otpcli_get_port(client, &port), OTPCLI_OK);
    EXPECT_EQ(port, 4321);
    int timeout = 0;
    ASSERT_EQ(otpcli_set_connect_timeout(client, -3), OTPCLI_OK);
    ASSERT_EQ(otpcli_get_connect_timeout(client, &timeout), OTPCLI_OK);
    EXPECT_EQ(timeout, -3);
}

TEST_F(CInterfaceArguments, SiteIdentifierReachesTheFrameInCodePage949) {
    ASSERT_EQ(otpcli_init(client, service.port(), "사이트", "KEY"), OTPCLI_OK);
    ASSERT_EQ(otpcli_addsvc_check(client, "C", "V"), OTPCLI_OK);
    ASSERT_EQ(service.frames().size(), 1u);
    const std::string site = service.frames()[0].substr(52, 32);
    EXPECT_EQ(site, std::string("\xbb\xe7\xc0\xcc\xc6\xae") + std::string(26, '\0'));
}

TEST_F(CInterfaceArguments, NewHandleAndHashValue) {
    otpcli_client* fresh = nullptr;
    ASSERT_EQ(otpcli_create(&fresh), OTPCLI_OK);
    EXPECT_EQ(resultCode(fresh), "");
    EXPECT_EQ(resultMessage(fresh), "");
    int value = 0;
    ASSERT_EQ(otpcli_get_connect_timeout(fresh, &value), OTPCLI_OK);
    EXPECT_EQ(value, 5);
    ASSERT_EQ(otpcli_get_port(fresh, &value), OTPCLI_OK);
    EXPECT_EQ(value, 0);
    otpcli_destroy(fresh);

    char hash[OTPCLI_HASH_SIZE];
    ASSERT_EQ(otpcli_hash_value("abc", hash), OTPCLI_OK);
    EXPECT_STREQ(hash, "a9993e364706816aba3e25717850c26c9cd0d89d");
    ASSERT_EQ(otpcli_hash_value("", hash), OTPCLI_OK);
    EXPECT_STREQ(hash, "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    // Korean text and a character code page 949 lacks: the class's hash.
    OTPCLI object;
    for (const char* text : {"홍길동", "a😀b", kNumber}) {
        ASSERT_EQ(otpcli_hash_value(text, hash), OTPCLI_OK);
        EXPECT_EQ(hash, otpcli::hashValue(object, otpcli::Text(text))) << text;
    }
}

TEST_F(CInterfaceArguments, ServerHostsAreProcessWide) {
    EXPECT_EQ(otpcli_set_server_hosts("", "127.0.0.1"), OTPCLI_E_INVALIDARG);
    EXPECT_EQ(otpcli_set_server_hosts(std::string(256, 'h').c_str(), "b"), OTPCLI_E_INVALIDARG);
    ASSERT_EQ(otpcli_set_server_hosts("127.0.0.3", "127.0.0.1"), OTPCLI_OK);
    const char* host = nullptr;
    ASSERT_EQ(otpcli_host(client, &host), OTPCLI_OK);
    EXPECT_STREQ(host, "127.0.0.3");
    // The class sees the same table.
    OTPCLI object;
    otpcli::ReturnedString name;
    ASSERT_EQ(object.getHost(name.out()), S_OK);
    EXPECT_EQ(name.utf8(), "127.0.0.3");
}

TEST_F(CInterfaceArguments, ReturnedStringsStayValidUntilTheirOwnGetterIsCalledAgain) {
    service.setReply(RecordingService::reply("E777", "\xb0\xa1"));  // "가"
    ASSERT_EQ(otpcli_join(client, kNumber, 0), OTPCLI_E_FAIL);
    const char* code = nullptr;
    const char* message = nullptr;
    const char* host = nullptr;
    ASSERT_EQ(otpcli_result_code(client, &code), OTPCLI_OK);
    ASSERT_EQ(otpcli_result_message(client, &message), OTPCLI_OK);
    ASSERT_EQ(otpcli_host(client, &host), OTPCLI_OK);
    EXPECT_STREQ(code, "E777");
    EXPECT_STREQ(message, "가");
    EXPECT_STREQ(host, "127.0.0.1");
}

TEST(CInterfaceVersion, MacrosAgree) {
    EXPECT_EQ(OTPCLI_VERSION_NUMBER,
              OTPCLI_VERSION_MAJOR * 10000 + OTPCLI_VERSION_MINOR * 100 + OTPCLI_VERSION_PATCH);
    EXPECT_EQ(OTPCLI_VERSION_MAJOR, 1);
    EXPECT_EQ(OTPCLI_VERSION_MINOR, 1);
}

// Without a code page 949 converter a text beyond ASCII is refused, never sent
// as question marks; ASCII needs no converter.
TEST_F(CInterfaceArguments, MissingConverterFailsLoudly) {
    {
        const otpcli::test::WithoutConverter withoutConverter;
        EXPECT_EQ(otpcli_join(client, "홍길동", 2), OTPCLI_E_FAIL);
        EXPECT_EQ(resultCode(client), "E001");
        EXPECT_EQ(resultMessage(client), "문자코드 변환 오류");
        EXPECT_EQ(otpcli_addsvc_check(client, "C", "값"), OTPCLI_E_FAIL);
        EXPECT_EQ(resultCode(client), "E001");
        char hash[OTPCLI_HASH_SIZE];
        EXPECT_EQ(otpcli_hash_value("가", hash), OTPCLI_E_FAIL);
        EXPECT_EQ(otpcli_init(client, service.port(), "사이트", "KEY"), OTPCLI_E_FAIL);
        EXPECT_EQ(otpcli_set_server_hosts("호스트", "127.0.0.1"), OTPCLI_E_FAIL);
        EXPECT_EQ(otpcli_join(client, kNumber, 0), OTPCLI_OK);
    }
    EXPECT_EQ(service.frames().size(), 1u);
}

}  // namespace
