// otpd under a crowd: idle connections go at the first-byte deadline, one
// address cannot take every slot, refusals are logged as counts, the number of
// subscribers is bounded, and a stop lets the requests under way finish.
#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "tools/hand_frames.h"
#include "tools/otpd_process.h"
#include "tools/raw_client.h"

namespace otpcli::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kJoin = "0000200";

std::string joinFrame(char who) {
    return handFrame(kJoin, kSite, sealedBlock(std::string(40, who), kKey));
}

std::string codeOf(const RawExchange& r) {
    return parseReply(r.received).code;
}

// The refusal summaries of a log: one count per line.
std::vector<int> refusalCounts(const std::string& log) {
    std::vector<int> counts;
    const std::regex line(R"(otpd: (\d+) connection\(s\) refused)");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
         ++it) {
        counts.push_back(std::stoi((*it)[1]));
    }
    return counts;
}

TEST(OtpdCrowd, IdleConnectionsFromOneAddressLeaveRoomForAnother) {
    // The first-byte deadline is long here, so that only the per-address cap
    // can keep the genuine client from being locked out.
    OtpdProcess otpd;
    ASSERT_TRUE(
        otpd.start({"--max-connections", "8", "--first-byte-deadline", "5", "--deadline", "5"}));
    std::vector<std::unique_ptr<SilentConnection>> idle;
    for (int i = 0; i < 8; ++i) {
        idle.push_back(std::make_unique<SilentConnection>("127.0.0.1", otpd.port()));
        ASSERT_TRUE(idle.back()->connected());
    }
    const RawExchange genuine = exchangeRaw("127.0.0.1", otpd.port(), joinFrame('a'), false,
                                            milliseconds(3000), "127.0.0.2");
    ASSERT_TRUE(genuine.connected);
    EXPECT_EQ(codeOf(genuine), "0000") << "served while the crowd waits";
    EXPECT_LT(genuine.elapsed, milliseconds(1000));

    // The crowd's address got half of the slots; the rest of it was closed at
    // once, and so is a request of its own while it holds them.
    int closed = 0;
    for (auto& c : idle) {
        closed += c->waitForClose(milliseconds(50)) ? 1 : 0;
    }
    EXPECT_EQ(closed, 4);
    const RawExchange sameAddress = exchangeRaw("127.0.0.1", otpd.port(), joinFrame('b'), false);
    EXPECT_EQ(sameAddress.received, "");
    EXPECT_LT(sameAddress.elapsed, milliseconds(1000));

    idle.clear();
    EXPECT_EQ(otpd.stop(), 0);
    EXPECT_EQ(refusalCounts(otpd.log()), std::vector<int>{5}) << otpd.log();
}

TEST(OtpdCrowd, AConnectionThatSendsNothingGoesAtTheFirstByteDeadline) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({"--first-byte-deadline", "0.2", "--deadline", "1.5"}));
    const auto start = Clock::now();
    SilentConnection idle("127.0.0.1", otpd.port());
    ASSERT_TRUE(idle.connected());
    EXPECT_TRUE(idle.waitForClose(milliseconds(3000)));
    EXPECT_LT(Clock::now() - start, milliseconds(1000));

    // One that has started its frame has the whole deadline to finish it.
    const std::string frame = joinFrame('a');
    SilentConnection slow("127.0.0.1", otpd.port());
    ASSERT_TRUE(slow.send(frame.substr(0, 2)));
    std::this_thread::sleep_for(milliseconds(500));
    ASSERT_TRUE(slow.send(frame.substr(2)));
    EXPECT_EQ(parseReply(slow.receive(milliseconds(3000))).code, "0000");
}

TEST(OtpdCrowd, AFloodOfRefusalsIsLoggedAsCounts) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({"--max-connections", "2", "--max-per-address", "2"}));
    SilentConnection first("127.0.0.1", otpd.port());
    SilentConnection second("127.0.0.1", otpd.port());
    ASSERT_TRUE(first.connected() && second.connected());
    constexpr int kFlood = 300;
    int refused = 0;
    for (int i = 0; i < kFlood; ++i) {
        const RawExchange r =
            exchangeRaw("127.0.0.1", otpd.port(), "", false, milliseconds(500), "127.0.0.3");
        refused += r.connected && r.closedByPeer && r.received.empty() ? 1 : 0;
    }
    EXPECT_EQ(refused, kFlood);
    EXPECT_EQ(otpd.stop(), 0);
    const std::vector<int> counts = refusalCounts(otpd.log());
    EXPECT_LE(counts.size(), 2U) << "one line per five seconds, and one at the stop";
    int logged = 0;
    for (const int n : counts) {
        logged += n;
    }
    EXPECT_EQ(logged, kFlood) << otpd.log();
}

TEST(OtpdCrowd, JoinsBeyondTheSubscriberLimitAreRefused) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({"--max-subscribers", "2"}));
    const auto join = [&](char who) {
        return codeOf(exchangeRaw("127.0.0.1", otpd.port(), joinFrame(who), false));
    };
    const auto close = [&](char who) {
        return codeOf(exchangeRaw(
            "127.0.0.1", otpd.port(),
            handFrame("0000201", kSite, sealedBlock(std::string(40, who), kKey)), false));
    };
    EXPECT_EQ(join('a'), "0000");
    EXPECT_EQ(join('b'), "0000");
    EXPECT_EQ(join('c'), "S302");
    EXPECT_EQ(join('a'), "S102") << "a member is told so, full or not";
    EXPECT_EQ(close('a'), "0000");
    EXPECT_EQ(join('c'), "0000");
}

TEST(OtpdStop, ARequestUnderWayFinishesAfterTheStopSignal) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({"--deadline", "3", "--first-byte-deadline", "3"}));
    const std::string frame = joinFrame('a');
    SilentConnection underWay("127.0.0.1", otpd.port());
    ASSERT_TRUE(underWay.send(frame.substr(0, 60)));
    std::this_thread::sleep_for(milliseconds(100));
    ASSERT_EQ(::kill(otpd.pid(), SIGTERM), 0);
    std::this_thread::sleep_for(milliseconds(200));

    EXPECT_FALSE(exchangeRaw("127.0.0.1", otpd.port(), frame, false).connected)
        << "no new connection once stopping";
    EXPECT_TRUE(otpd.running());
    ASSERT_TRUE(underWay.send(frame.substr(60)));
    EXPECT_EQ(parseReply(underWay.receive(milliseconds(3000))).code, "0000");
    const auto start = Clock::now();
    EXPECT_EQ(otpd.stop(), 0) << "exits 0 when the last connection has ended";
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
}

TEST(OtpdStop, IdleConnectionsDoNotHoldTheStopPastTheirDeadline) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({"--first-byte-deadline", "0.3"}));
    SilentConnection idle("127.0.0.1", otpd.port());
    ASSERT_TRUE(idle.connected());
    std::this_thread::sleep_for(milliseconds(50));
    const auto start = Clock::now();
    EXPECT_EQ(otpd.stop(), 0);
    EXPECT_LT(Clock::now() - start, milliseconds(1500));
}

}  // namespace
}  // namespace otpcli::test
