// Each socket call of a request (socket, connect, wait, pending-error read,
// send, receive) fails in turn, including failures no real peer can cause:
// the request ends with N001 while it is still connecting and N002 after, and
// leaves no descriptor open.
#include <functional>
#include <string>

#include "client/messages.h"
#include "reliability/reliability_fixture.h"
#include "requests/recording_service.h"

namespace otpcli::test {
namespace {

struct Operation {
    const char* name;
    std::function<HRESULT(OTPCLI&)> call;
};

const Operation kOperations[] = {
    {"issue", [](OTPCLI& c) { return c.reqIssue(w(kNumber), w(u"010"), w(u"v")); }},
    {"reissue", [](OTPCLI& c) { return c.reqReissue(w(kNumber), 0, w(u"010"), w(u"v")); }},
    {"check", [](OTPCLI& c) { return c.reqCheck(w(kNumber), 0, w(u"010"), w(u"v")); }},
    {"addsvc-check", [](OTPCLI& c) { return c.reqAddsvcCheck(w(u"010"), w(u"v")); }},
    {"auth", [](OTPCLI& c) { return c.reqAuth(w(kNumber), 0, 1234567, 1, w(u"x")); }},
    {"join", [](OTPCLI& c) { return c.reqJoin(w(kNumber), 0); }},
    {"close", [](OTPCLI& c) { return c.reqClose(w(kNumber), 0); }},
    {"init-auth-err", [](OTPCLI& c) { return c.reqInitAuthErr(w(kNumber), 0); }},
};

// A request makes fewer than ten socket calls; far more means a runaway loop.
constexpr int kMostCalls = 60;

class SocketTorture : public ReliabilityTest {
  protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        configure(service.port());
    }

    RecordingService service;
};

TEST_F(SocketTorture, EachSocketCallOfEachRequestFailsInTurn) {
    // A reply larger than the frame buffer, so that the body is read too.
    service.setReply(RecordingService::reply("0000", std::string(1000, 'm')));
    // A leaked descriptor keeps the count above this for good; the service's
    // end of a connection only for as long as it takes to close it.
    const int descriptors = openDescriptorCount();
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        bool connected = false;  // a failure has given N002
        bool completed = false;
        int failed = 0;
        for (int k = 1; k <= kMostCalls && !completed; ++k) {
            SCOPED_TRACE("socket call " + std::to_string(k));
            const std::size_t framesBefore = service.frames().size();
            platform::failSocketCallAt(k);
            const HRESULT status = op.call(client);
            const int counted = platform::failSocketCallAt(0);
            if (counted < k) {
                completed = true;
                EXPECT_EQ(status, S_OK);
                EXPECT_EQ(client.code(), "0000");
                break;
            }
            ++failed;
            EXPECT_EQ(status, E_FAIL);
            if (client.code() == kCannotConnect.code) {
                // Still connecting: nothing was sent, and no N002 came before.
                EXPECT_FALSE(connected);
                EXPECT_EQ(client.mesg(), kCannotConnect.mesg);
                EXPECT_EQ(service.frames().size(), framesBefore);
            } else {
                connected = true;
                EXPECT_EQ(client.code(), kTransferFailed.code);
                EXPECT_EQ(client.mesg(), kTransferFailed.mesg);
            }
            EXPECT_TRUE(descriptorsSettleTo(descriptors));
        }
        EXPECT_TRUE(completed);
        // Socket, connect, send, the wait and receive of the length field, and
        // the receive of the body (tried before any wait) at the least; more
        // when the connect is waited for (on loopback it usually is), the body
        // has not come yet, or a wait sees an error and the pending error is read.
        EXPECT_GE(failed, 6);
        EXPECT_TRUE(connected);
    }
}

}  // namespace
}  // namespace otpcli::test
