// The shared exchange: replies turned into the error state, local failures,
// and resources released on every path.
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "client/allocation.h"
#include "client/messages.h"
#include "requests/request_fixture.h"
#include "support/descriptors.h"
#include "support/loopback_server.h"

namespace otpcli::test {
namespace {

const std::u16string kNumber = u"8505031234565";

std::string body(const std::string& code, const std::string& mesg) {
    return RecordingService::reply(code, mesg).substr(5);
}

using Exchange = RequestTest;

TEST_F(Exchange, RepliesBecomeTheErrorState) {
    const std::string korean = cp949("가입자가 아닙니다.");
    const std::string long300(300, 'L');
    struct Case {
        const char* name;
        std::string reply;
        HRESULT status;
        std::string code;
        std::string mesg;
    };
    const std::string other = kOtherError.mesg;
    const std::string ioError = kTransferFailed.mesg;
    const Case cases[] = {
        {"service code, Korean message", RecordingService::reply("E101", korean), E_FAIL, "E101",
         korean},
        {"message cut at 256", RecordingService::reply("E102", long300), E_FAIL, "E102",
         long300.substr(0, 256)},
        {"message ends at NUL", RecordingService::reply("E103", std::string("ab\0cd", 5)), E_FAIL,
         "E103", "ab"},
        {"body of exactly 47", "00047" + body("E104", ""), E_FAIL, "E104", ""},
        {"body of 43", "00043" + body("E105", "").substr(0, 43), E_FAIL, "Z001", other},
        {"empty body", "00000", E_FAIL, "Z001", other},
        {"length with leading spaces", "  050" + body("E106", "abc"), E_FAIL, "E106", "abc"},
        {"length with a plus sign", "+0050" + body("E107", "abc"), E_FAIL, "E107", "abc"},
        {"length without digits", "abcde", E_FAIL, "Z001", other},
        {"negative length", "-0001x", E_FAIL, "N002", ioError},
        {"body shorter than announced", "00100" + body("E108", "").substr(0, 10), E_FAIL, "N002",
         ioError},
        {"length field cut short", "001", E_FAIL, "N002", ioError},
    };
    for (const Case& c : cases) {
        service.setReply(c.reply);
        EXPECT_EQ(client.reqAddsvcCheck(w(u"C"), w(u"V")), c.status) << c.name;
        EXPECT_EQ(client.code(), c.code) << c.name;
        EXPECT_EQ(client.mesg(), c.mesg) << c.name;
    }
}

TEST_F(Exchange, SuccessGivesTheOperationsOwnMessage) {
    service.setReply(RecordingService::reply("0000", "text the service sent"));
    const std::string available = kServiceAvailable.mesg;
    struct Case {
        const char* name;
        std::function<HRESULT(Client&)> call;
        std::string mesg;
    };
    const Case cases[] = {
        {"issue", [](Client& c) { return c.reqIssue(w(kNumber), w(u"C"), w(u"V")); }, ""},
        {"reissue", [](Client& c) { return c.reqReissue(w(kNumber), 0, w(u"C"), w(u"V")); }, ""},
        {"check", [](Client& c) { return c.reqCheck(w(kNumber), 0, w(u"C"), w(u"V")); }, available},
        {"addsvc", [](Client& c) { return c.reqAddsvcCheck(w(u"C"), w(u"V")); }, available},
        {"auth", [](Client& c) { return c.reqAuth(w(kNumber), 0, 1, 1, nullptr); }, ""},
        {"join", [](Client& c) { return c.reqJoin(w(kNumber), 0); }, ""},
        {"close", [](Client& c) { return c.reqClose(w(kNumber), 0); }, ""},
        {"init-auth-err", [](Client& c) { return c.reqInitAuthErr(w(kNumber), 0); }, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(client), S_OK) << c.name;
        EXPECT_EQ(client.code(), "0000") << c.name;
        EXPECT_EQ(client.mesg(), c.mesg) << c.name;
    }
    EXPECT_EQ(service.connections(), 8);
}

TEST_F(Exchange, RepliesLargerThanTheFrameBuffer) {
    // reqJoin's buffer holds 180 + 256 bytes; these bodies need a new one.
    for (const std::size_t size : {std::size_t{436}, std::size_t{437}, std::size_t{99'999}}) {
        const std::string mesg(size - 47, 'M');
        service.setReply(RecordingService::reply("E200", mesg));
        EXPECT_EQ(client.reqJoin(w(kNumber), 0), E_FAIL) << size;
        EXPECT_EQ(client.code(), "E200") << size;
        EXPECT_EQ(client.mesg(), mesg.substr(0, 256)) << size;
    }
}

TEST_F(Exchange, NothingListeningGivesN001) {
    const RefusingPort idle("127.0.0.1");
    ASSERT_TRUE(idle.bound());
    ASSERT_EQ(client.init(idle.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
    EXPECT_EQ(client.reqJoin(w(kNumber), 0), E_FAIL);
    EXPECT_EQ(client.code(), kCannotConnect.code);
    EXPECT_EQ(client.mesg(), kCannotConnect.mesg);
    EXPECT_EQ(service.connections(), 0);
}

TEST_F(Exchange, FailedAllocationsGiveA001) {
    struct Case {
        const char* name;
        int failAt;
        std::string reply;
        int connections;  // made by the failed call
    };
    const std::string large = RecordingService::reply("E300", std::string(1000, 'x'));
    const Case cases[] = {
        {"sealed buffer", 1, large, 0},
        {"frame buffer", 2, large, 0},
        {"larger reply buffer", 3, large, 1},
    };
    for (const Case& c : cases) {
        service.setReply(c.reply);
        const int before = service.connections();
        failAllocationAt(c.failAt);
        const HRESULT status = client.reqJoin(w(kNumber), 0);
        failAllocationAt(0);
        EXPECT_EQ(status, E_FAIL) << c.name;
        EXPECT_EQ(client.code(), kOutOfMemory.code) << c.name;
        EXPECT_EQ(client.mesg(), kOutOfMemory.mesg) << c.name;
        EXPECT_EQ(service.connections() - before, c.connections) << c.name;
    }
    failAllocationAt(1);
    EXPECT_EQ(client.reqAddsvcCheck(w(u"C"), w(u"V")), E_FAIL);
    failAllocationAt(0);
    EXPECT_EQ(client.code(), kOutOfMemory.code);
    // A text too long for the inline room takes heap memory too.
    const std::u16string longValue(300, u'v');
    failAllocationAt(1);
    EXPECT_EQ(client.reqAddsvcCheck(w(u"C"), w(longValue)), E_FAIL);
    failAllocationAt(0);
    EXPECT_EQ(client.code(), kOutOfMemory.code);
}

TEST_F(Exchange, NoDescriptorIsLeftOpen) {
    const int before = openDescriptorCount();
    ASSERT_GE(before, 0);
    const std::string replies[] = {
        RecordingService::reply("0000", ""),
        RecordingService::reply("E400", "refused"),
        "00100short",
        "-0001",
        RecordingService::reply("E401", std::string(5000, 'x')),
    };
    for (const std::string& reply : replies) {
        service.setReply(reply);
        client.reqJoin(w(kNumber), 0);
        client.reqCheck(w(kNumber), 0, w(u"C"), w(u"V"));
    }
    failAllocationAt(3);
    client.reqJoin(w(kNumber), 0);
    failAllocationAt(0);
    // The service closes its end of the last connection on its own thread.
    for (int i = 0; i < 200 && openDescriptorCount() != before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

}  // namespace
}  // namespace otpcli::test
