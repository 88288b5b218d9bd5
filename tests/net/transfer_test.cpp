#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "net/transfer.h"
#include "net_fixture.h"
#include "platform/socket.h"
#include "support/loopback_server.h"
#include "support/sockets.h"

#if !defined(_WIN32)
#include <cerrno>
#include <csignal>
#endif

namespace otpcli::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// True when the socket has something to read (data, end or error) within ms.
bool readable(platform::Socket s, int ms) {
    pollfd entry{s, POLLIN, 0};
    return pollSockets(&entry, 1, ms) == 1;
}

std::string pattern(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

// Each test talks to one scripted server through a connection made as a
// request makes it.
class Transfer : public NetTest {
  protected:
    void connectTo(const LoopbackServer& server) {
        ASSERT_TRUE(server.listening());
        ASSERT_EQ(conn_.open(server.port(), 2), 0);
    }
    platform::Socket socket() const { return conn_.socket(); }
    void disconnect() { conn_.close(); }

  private:
    OwnedConnection conn_;
};

TEST_F(Transfer, ReceivesExactCounts) {
    LoopbackServer server({Script().send("hello world").readToEnd()});
    connectTo(server);
    char buffer[16] = {};
    EXPECT_EQ(recvAll(socket(), buffer, 5, 10, 100), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(recvAll(socket(), buffer, 6, 10, 100), 6);
    EXPECT_EQ(std::string(buffer, 6), " world");
}

TEST_F(Transfer, ZeroLengthReceiveWaitsOnlyForReadiness) {
    const struct {
        const char* name;
        Script script;
        int expected;
    } cases[] = {
        // Each server acts on a byte from the client, once the connect is through.
        {"data", Script().read(1).send("x").pause(2s), 0},
        {"closed", Script().read(1), 0},
        {"reset", Script().read(1).reset(), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server({c.script});
        connectTo(server);
        ASSERT_EQ(sendAll(socket(), "!", 1, 10, 100), 1);
        ASSERT_TRUE(readable(socket(), 2000));
        char buffer[1] = {'?'};
        const int r = recvAll(socket(), buffer, 0, 10, 100);
#if defined(_WIN32)
        // Whether a reset shows as the socket's pending error depends on the
        // sockets layer (under Wine it does not).
        if (c.expected == -1) {
            EXPECT_TRUE(r == -1 || r == 0) << r;
        } else {
            EXPECT_EQ(r, c.expected);
        }
#else
        EXPECT_EQ(r, c.expected);
#endif
        EXPECT_EQ(buffer[0], '?');
    }
}

TEST_F(Transfer, ZeroLengthReceiveFailsWhenNothingHappensWithinTheFirstWait) {
    LoopbackServer server({Script().pause(3s)});
    connectTo(server);
    char buffer[1];
    const auto start = Clock::now();
    // pauseMillis 10: a first wait of one second.
    EXPECT_EQ(recvAll(socket(), buffer, 0, 10, 100), -1);
    const long long elapsed = millisSince(start);
    EXPECT_GE(elapsed, 950);
    EXPECT_LT(elapsed, 2500);
}

TEST_F(Transfer, PauseBelowTenMakesTheFirstWaitZero) {
    LoopbackServer server({Script().pause(300ms).send("hello").readToEnd()});
    connectTo(server);
    char buffer[5] = {};
    const auto start = Clock::now();
    EXPECT_EQ(recvAll(socket(), buffer, 5, 9, 100), -1);
    EXPECT_LT(millisSince(start), 250);
    // Once the data is there, the same call takes it.
    ASSERT_TRUE(readable(socket(), 3000));
    EXPECT_EQ(recvAll(socket(), buffer, 5, 9, 100), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(Transfer, FirstByteAfterTheFirstWaitIsTooLate) {
    LoopbackServer server({Script().pause(1600ms).send("late!").readToEnd()});
    connectTo(server);
    char buffer[5] = {};
    const auto start = Clock::now();
    EXPECT_EQ(recvAll(socket(), buffer, 5, 10, 100), -1);
    const long long elapsed = millisSince(start);
    EXPECT_GE(elapsed, 950);
    EXPECT_LT(elapsed, 2500);
}

// recvMore is the second receive of a request: it tries a receive first and
// waits only when that finds nothing; everything else is recvAll's.
TEST_F(Transfer, RecvMoreTakesWhatIsThereWithoutAWaitAndWaitsForWhatIsNot) {
    const struct {
        const char* name;
        Script script;
        int expected;
        int leastCalls;  // socket calls of the recvMore
        int mostCalls;
    } cases[] = {
        // One receive takes what is there.
        {"there", Script().send("00011hello world").readToEnd(), 11, 1, 1},
        // A receive that finds nothing, the first wait, the receives after it
        // (Wine may hand the bytes over in more than one).
        {"after a gap", Script().send("00011").pause(200ms).send("hello world").readToEnd(), 11, 3,
         6},
        // The peer's close ends it at once too.
        {"closed", Script().send("00011"), 0, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server({c.script});
        connectTo(server);
        char buffer[16] = {};
        ASSERT_EQ(recvAll(socket(), buffer, 5, 10, 100), 5);
        EXPECT_EQ(std::string(buffer, 5), "00011");
        if (c.expected == 0) {
            ASSERT_TRUE(server.waitForFinished(1));
        }
        if (c.mostCalls == 1) {
            // What was sent with the length field, or the close, has come.
            std::this_thread::sleep_for(50ms);
        }
        platform::failSocketCallAt(0);
        EXPECT_EQ(recvMore(socket(), buffer, 11, 10, 100, INT64_MAX), c.expected);
        EXPECT_GE(platform::socketCallsCounted(), c.leastCalls);
        EXPECT_LE(platform::socketCallsCounted(), c.mostCalls);
        if (c.expected == 11) {
            EXPECT_EQ(std::string(buffer, 11), "hello world");
        }
        disconnect();
    }
}

// recvAtLeast takes what has come beyond the bytes it must have, up to its room.
TEST_F(Transfer, RecvAtLeastTakesWhatHasComeUpToItsRoom) {
    const struct {
        const char* name;
        Script script;
        int room;
        std::string expected;
    } cases[] = {
        {"all that came", Script().send("00011hello world").readToEnd(), 32, "00011hello world"},
        {"no more than the room", Script().send("00011hello world").readToEnd(), 8, "00011hel"},
        {"fewer when the peer closes first", Script().send("abc"), 32, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server({c.script});
        connectTo(server);
        // One piece, sent at once: all of it has come once the socket is readable.
        ASSERT_TRUE(readable(socket(), 2000));
        char buffer[32] = {};
        const int r = recvAtLeast(socket(), buffer, 5, c.room, 10, 100, INT64_MAX);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max(r, 0))), c.expected);
        disconnect();
    }
}

TEST_F(Transfer, RecvMoreFailsWhenNothingComesWithinTheFirstWait) {
    LoopbackServer server({Script().send("00005").pause(1600ms).send("late!").readToEnd()});
    connectTo(server);
    char buffer[5] = {};
    ASSERT_EQ(recvAll(socket(), buffer, 5, 10, 100), 5);
    const auto start = Clock::now();
    EXPECT_EQ(recvMore(socket(), buffer, 5, 10, 100, INT64_MAX), -1);
    const long long elapsed = millisSince(start);
    EXPECT_GE(elapsed, 950);
    EXPECT_LT(elapsed, 1550);
}

TEST_F(Transfer, RecvMoreSeesAResetAsAFailure) {
    LoopbackServer server({Script().send("00005").read(1).reset()});
    connectTo(server);
    char buffer[5] = {};
    ASSERT_EQ(recvAll(socket(), buffer, 5, 10, 100), 5);
    ASSERT_EQ(sendAll(socket(), "!", 1, 10, 100), 1);
#if defined(_WIN32)
    // Wine may report the reset as an orderly close.
    EXPECT_LE(recvMore(socket(), buffer, 5, 10, 100, INT64_MAX), 0);
#else
    EXPECT_EQ(recvMore(socket(), buffer, 5, 10, 100, INT64_MAX), -1);
#endif
}

TEST_F(Transfer, PeerClosingEarlyGivesTheBytesSoFar) {
    LoopbackServer server({Script().send("abc")});
    connectTo(server);
    char buffer[5] = {};
    EXPECT_EQ(recvAll(socket(), buffer, 5, 10, 100), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(Transfer, EachPieceRestartsTheRetryCount) {
    // Eight pieces with 80 ms gaps: 560 ms of silence in all, against a budget
    // of 24 pauses of 10 ms that only the count restarts make enough.
    const std::string body = pattern(32);
    LoopbackServer server({Script().send(body, 4, 80ms).readToEnd()});
    connectTo(server);
    std::vector<char> buffer(body.size());
    EXPECT_EQ(recvAll(socket(), buffer.data(), static_cast<int>(body.size()), 10, 25),
              static_cast<int>(body.size()));
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), body);
}

TEST_F(Transfer, SilenceAfterSomeBytesRunsOutTheRetries) {
    LoopbackServer server({Script().send("ab").pause(2s)});
    connectTo(server);
    char buffer[5] = {};
    const auto start = Clock::now();
    EXPECT_EQ(recvAll(socket(), buffer, 5, 10, 5), -1);
    EXPECT_EQ(platform::socketError(), platform::kErrorTimedOut);
    const long long elapsed = millisSince(start);
    // Four pauses, then the fifth would-block ends it.
    EXPECT_GE(elapsed, 40);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(std::string(buffer, 2), "ab");
}

TEST_F(Transfer, OneRetryAllowedEndsAtTheFirstWouldBlockWithoutPausing) {
    LoopbackServer server({Script().send("ab").pause(2s)});
    connectTo(server);
    ASSERT_TRUE(readable(socket(), 2000));
    char buffer[5] = {};
    const auto start = Clock::now();
    EXPECT_EQ(recvAll(socket(), buffer, 5, 900, 1), -1);
    EXPECT_EQ(platform::socketError(), platform::kErrorTimedOut);
    EXPECT_LT(millisSince(start), 500);
}

TEST_F(Transfer, HugePauseStillWaitsForData) {
    LoopbackServer server({Script().pause(200ms).send("hello").readToEnd()});
    connectTo(server);
    char buffer[5] = {};
    EXPECT_EQ(recvAll(socket(), buffer, 5, INT_MAX, 100), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(Transfer, ZeroLengthSendCallsNothing) {
    platform::failSocketCallAt(0);
    EXPECT_EQ(sendAll(platform::kNoSocket, "", 0, 10, 100), 0);
    EXPECT_EQ(sendAll(platform::kNoSocket, "x", -3, 10, 100), 0);
    EXPECT_EQ(platform::socketCallsCounted(), 0);
}

TEST_F(Transfer, SendsALargeBufferWhole) {
    const std::string data = pattern(4 << 20);
    LoopbackServer server({Script().read(data.size())});
    connectTo(server);
    EXPECT_EQ(sendAll(socket(), data.data(), static_cast<int>(data.size()), 10, 100),
              static_cast<int>(data.size()));
    ASSERT_TRUE(server.waitUntilDone());
    const std::vector<std::string> received = server.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0] == data);
}

TEST_F(Transfer, NonBlockingSendRetriesWhileThePeerCatchesUp) {
    const std::string data = pattern(4 << 20);
    LoopbackServer server({Script().pause(150ms).read(data.size())});
    connectTo(server);
    EXPECT_EQ(sendAll(socket(), data.data(), static_cast<int>(data.size()), 10, 100),
              static_cast<int>(data.size()));
    ASSERT_TRUE(server.waitUntilDone());
    EXPECT_TRUE(server.received().at(0) == data);
}

TEST_F(Transfer, NonBlockingSendToAPeerThatDoesNotReadRunsOutTheRetries) {
    // More than the send and receive buffers of a loopback connection hold.
    const std::string data(64 << 20, 'z');
    LoopbackServer server({Script().pause(5s)});
    connectTo(server);
    const auto start = Clock::now();
    EXPECT_EQ(sendAll(socket(), data.data(), static_cast<int>(data.size()), 10, 3), -1);
    EXPECT_EQ(platform::socketError(), platform::kErrorTimedOut);
    EXPECT_LT(millisSince(start), 2000);
}

TEST_F(Transfer, SendToAClosedPeerFailsWithoutASignal) {
#if !defined(_WIN32)
    // A SIGPIPE would end the test program.
    const auto previous = std::signal(SIGPIPE, SIG_DFL);
#endif
    LoopbackServer server({Script()});
    connectTo(server);
    ASSERT_TRUE(server.waitUntilDone());
    ASSERT_TRUE(readable(socket(), 2000));
    const std::string chunk(1000, 'x');
    int r = 0;
    // The first bytes may still be taken; the peer's reset makes a later send fail.
    for (int i = 0; i < 50 && r != -1; ++i) {
        r = sendAll(socket(), chunk.data(), static_cast<int>(chunk.size()), 10, 100);
        if (r != -1) {
            readable(socket(), 20);
        }
    }
    EXPECT_EQ(r, -1);
    // Sending again on the broken connection is the case that raises SIGPIPE.
    EXPECT_EQ(sendAll(socket(), chunk.data(), static_cast<int>(chunk.size()), 10, 100), -1);
#if !defined(_WIN32)
    // Windows reports a reset or an abort, and raises no signal.
    EXPECT_EQ(platform::socketError(), EPIPE);
    std::signal(SIGPIPE, previous);
#endif
}

}  // namespace
}  // namespace otpcli::test
