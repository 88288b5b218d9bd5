// Services that misbehave on purpose: silent, stalled, dribbling, cut off,
// reset, lying about the length. Every request ends with the right code within
// bounded time, and the whole-reply deadline, not the per-byte retry budget,
// ends a reply that keeps trickling in.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "client/messages.h"
#include "reliability/reliability_fixture.h"
#include "support/loopback_server.h"

namespace otpcli::test {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The shortened whole-reply deadline most cases run under.
constexpr int kDeadline = 1200;
// A would-block receive gives up after 99 pauses of 50 ms: about 5 s without a
// byte. Each gap below is far shorter.
constexpr milliseconds kGap = 400ms;
// Room for scheduling and sanitizer slowness on top of the expected time.
constexpr long long kSlack = 1500;

// A reply of a body of n bytes with the result code at body byte 40.
std::string reply(const std::string& code, std::size_t n) {
    std::string body = std::string(40, 'b') + code + "bbb";
    body.resize(n, 'm');
    char length[6];
    std::snprintf(length, sizeof length, "%05zu", n);
    return length + body;
}

struct Case {
    const char* name;
    Script script;
    std::string code;
    long long leastMillis;  // the request may not end before this
    long long mostMillis;   // nor after this
};

class HostileService : public ReliabilityTest {
  protected:
    // Runs one request against a service playing script; the elapsed time.
    long long request(const Script& script) {
        LoopbackServer server({script}, "127.0.0.1", 0, 20s);
        EXPECT_TRUE(server.listening());
        configure(server.port());
        const auto start = Clock::now();
        status = client.reqJoin(w(kNumber), 0);
        const long long elapsed =
            std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
        stillSending = server.finishedCount() == 0;
        return elapsed;
    }

    void run(const std::vector<Case>& cases) {
        const int descriptors = openDescriptorCount();
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const long long elapsed = request(c.script);
            EXPECT_EQ(client.code(), c.code);
            EXPECT_EQ(status, c.code == "0000" ? S_OK : E_FAIL);
            EXPECT_GE(elapsed, c.leastMillis);
            EXPECT_LE(elapsed, c.mostMillis);
        }
        EXPECT_TRUE(descriptorsSettleTo(descriptors));
    }

    HRESULT status = S_OK;
    bool stillSending = false;
};

TEST_F(HostileService, SilenceAndStallsEndAtTheDeadline) {
    setReplyDeadlineMillis(kDeadline);
    const std::string n002 = kTransferFailed.code;
    run({
        {"accepts, never reads, never answers", Script().pause(20s), n002, kDeadline,
         kDeadline + kSlack},
        {"reads the request, never answers", Script().readFrame().pause(20s), n002, kDeadline,
         kDeadline + kSlack},
        {"sends the length, never the body", Script().readFrame().send("00100").pause(20s), n002,
         kDeadline, kDeadline + kSlack},
        {"sends part of the body, then stalls",
         Script().readFrame().send(reply("E100", 100).substr(0, 60)).pause(20s), n002, kDeadline,
         kDeadline + kSlack},
        {"sends half the length field, then stalls", Script().readFrame().send("00").pause(20s),
         n002, kDeadline, kDeadline + kSlack},
    });
}

TEST_F(HostileService, DribbledReplyIsCutByTheDeadlineNotByTheRetryBudget) {
    // One byte every 400 ms: each gap is well inside the retry budget, so only
    // the deadline can end the request, while the service is still sending.
    setReplyDeadlineMillis(kDeadline);
    const std::string whole = reply("E200", 100);
    const struct {
        const char* name;
        Script script;
    } cases[] = {
        {"the body dribbled",
         Script().readFrame().send(whole.substr(0, 5)).send(whole.substr(5), 1, kGap)},
        {"the whole reply dribbled", Script().readFrame().send(whole, 1, kGap)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const long long elapsed = request(c.script);
        EXPECT_EQ(client.code(), kTransferFailed.code);
        EXPECT_GE(elapsed, kDeadline);
        EXPECT_LE(elapsed, kDeadline + kSlack);
        EXPECT_TRUE(stillSending);
    }
}

TEST_F(HostileService, SlowButSteadyReplyWithinTheDeadlineSucceeds) {
    // The same pace without a short deadline: 52 bytes in 7 pieces, 400 ms apart,
    // arrive whole although no single piece holds the reply.
    const long long elapsed = request(Script().readFrame().send(reply("E300", 47), 8, kGap));
    EXPECT_EQ(client.code(), "E300");
    EXPECT_GE(elapsed, 6 * kGap.count());
    EXPECT_LE(elapsed, 6 * kGap.count() + kSlack);
}

TEST_F(HostileService, CutAndResetRepliesFailAtOnce) {
    // None of these waits for the deadline, which stays at 30 s.
    const std::string n002 = kTransferFailed.code;
    const std::string body60 = reply("E400", 100).substr(0, 60);
    run({
        {"closes before reading", Script(), n002, 0, kSlack},
        {"resets after the length field of the request", Script().read(5).reset(), n002, 0, kSlack},
        {"resets after reading the request", Script().readFrame().reset(), n002, 0, kSlack},
        {"closes after the length field", Script().readFrame().send("00100"), n002, 0, kSlack},
        {"closes mid-body", Script().readFrame().send(body60), n002, 0, kSlack},
        {"resets mid-body", Script().readFrame().send(body60).pause(100ms).reset(), n002, 0,
         kSlack},
        {"closes one byte short", Script().readFrame().send(reply("E401", 100).substr(0, 104)),
         n002, 0, kSlack},
    });
}

TEST_F(HostileService, GarbageAndSignedLengths) {
    const std::string n002 = kTransferFailed.code;
    const std::string z001 = kOtherError.code;
    const std::string body47 = reply("E500", 47).substr(5);
    auto answer = [](const std::string& bytes) { return Script().readFrame().send(bytes); };
    run({
        {"letters announce nothing", answer("abcde"), z001, 0, kSlack},
        {"NUL bytes announce nothing", answer(std::string(5, '\0')), z001, 0, kSlack},
        {"digits up to a letter", answer("0004xabcd"), z001, 0, kSlack},
        {"a plus sign", answer("+0047" + body47), "E500", 0, kSlack},
        {"leading white space", answer(" \t047" + body47), "E500", 0, kSlack},
        {"a minus sign", answer("-0001" + body47), n002, 0, kSlack},
        {"the most negative", answer("-9999" + body47), n002, 0, kSlack},
        {"minus zero", answer("-0000"), z001, 0, kSlack},
        {"two signs", answer("--001" + body47), z001, 0, kSlack},
        {"the largest, then nothing", answer("99999"), n002, 0, kSlack},
        {"more bytes than announced", answer(reply("E501", 47) + "trailing bytes"), "E501", 0,
         kSlack},
    });
}

TEST_F(HostileService, LargestReplyWholeSucceedsDribbledIsCut) {
    const std::string largest = reply("E600", 99'999);
    long long elapsed = request(Script().readFrame().send(largest).readToEnd());
    EXPECT_EQ(client.code(), "E600");
    EXPECT_EQ(client.mesg(), std::string(256, 'm'));
    EXPECT_LE(elapsed, kSlack);

    // 1000 bytes every 400 ms would take 40 s.
    setReplyDeadlineMillis(kDeadline);
    elapsed = request(Script().readFrame().send(largest, 1000, kGap));
    EXPECT_EQ(client.code(), kTransferFailed.code);
    EXPECT_GE(elapsed, kDeadline);
    EXPECT_LE(elapsed, kDeadline + kSlack);
    EXPECT_TRUE(stillSending);
}

}  // namespace
}  // namespace otpcli::test
