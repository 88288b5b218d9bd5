#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <tuple>

#include "net/connection.h"
#include "net/server_table.h"
#include "net_fixture.h"
#include "platform/socket.h"
#include "support/loopback_server.h"
#include "support/sockets.h"

#if !defined(_WIN32)
#include <fcntl.h>
#endif

namespace otpcli::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class OpenConnection : public NetTest {};

TEST_F(OpenConnection, ResolvesAddressesAndNames) {
    // The server listens and never accepts: connects complete in its backlog.
    LoopbackServer server({}, kPrimary);
    ASSERT_TRUE(server.listening());
    const struct {
        const char* host;
        std::uint32_t address;  // host byte order
    } cases[] = {
        {"127.0.0.1", 0x7F000001},
        {"localhost", 0x7F000001},
        // Short dotted forms are addresses too.
        {"127.1", 0x7F000001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        ASSERT_TRUE(replaceServerHosts(c.host, kBackup));
        OwnedConnection conn;
        ASSERT_EQ(conn.open(server.port(), 2), 0);
        EXPECT_EQ(ntohl(conn.conn.address), c.address);
        EXPECT_EQ(ntohs(conn.conn.port), server.port());
        EXPECT_EQ(table(), std::make_tuple(0, 0, 0));
    }
}

TEST_F(OpenConnection, PortKeepsItsLow16Bits) {
    LoopbackServer server({}, kPrimary);
    ASSERT_TRUE(server.listening());
    OwnedConnection conn;
    ASSERT_EQ(conn.open(server.port() + 0x10000 * 3, 2), 0);
    EXPECT_EQ(ntohs(conn.conn.port), server.port());
}

TEST_F(OpenConnection, FailedLookupIsNeitherCountedNorFailedOver) {
    // A backup that would take the connection, had the request moved there.
    LoopbackServer backup({}, kBackup);
    ASSERT_TRUE(backup.listening());
    ASSERT_TRUE(replaceServerHosts("nonexistent.invalid", kBackup));
    for (int attempt = 1; attempt <= kFailoverThreshold + 2; ++attempt) {
        SCOPED_TRACE(attempt);
        OwnedConnection conn;
        platform::setSocketError(0);
        EXPECT_EQ(conn.open(backup.port(), 1), -1);
        EXPECT_EQ(platform::socketError(), platform::kErrorHostNotFound);
        EXPECT_EQ(conn.socket(), platform::kNoSocket);
        EXPECT_EQ(table(), std::make_tuple(0, 0, 0));
    }
}

TEST_F(OpenConnection, NoWaitsAllowedTriesNothingAndCountsNothing) {
    LoopbackServer server({}, kPrimary);
    ASSERT_TRUE(server.listening());
    for (const int timeout : {0, -1, -1000}) {
        SCOPED_TRACE(timeout);
        OwnedConnection conn;
        platform::failSocketCallAt(0);
        EXPECT_EQ(conn.open(server.port(), timeout), -1);
        EXPECT_EQ(platform::socketError(), platform::kErrorTimedOut);
        // No socket, no connect, no wait, and the table as it was.
        EXPECT_EQ(platform::socketCallsCounted(), 0);
        EXPECT_EQ(conn.socket(), platform::kNoSocket);
        EXPECT_EQ(table(), std::make_tuple(0, 0, 0));
    }
}

TEST_F(OpenConnection, RefusedConnectCountsAsFailure) {
    RefusingPort refused(kPrimary);
    ASSERT_TRUE(refused.bound());
    OwnedConnection conn;
    const auto start = Clock::now();
    EXPECT_EQ(conn.open(refused.port(), 5), -1);
    EXPECT_EQ(platform::socketError(), kErrorConnectionRefused);
#if defined(_WIN32)
    // Windows retries a refused connect for a second or two before it reports
    // it (Wine reports it at once): still well within the five waits.
    EXPECT_LT(millisSince(start), 4000);
#else
    EXPECT_LT(millisSince(start), 1000);
#endif
    EXPECT_EQ(table(), std::make_tuple(0, 1, 0));
}

TEST_F(OpenConnection, ConnectThatNeverCompletesTimesOutAfterItsWaits) {
    StalledListener stalled(kPrimary);
    ASSERT_TRUE(stalled.stalled());
    OwnedConnection conn;
    const auto start = Clock::now();
    // Two waits: the second one follows a repeated connect while the first is pending.
    EXPECT_EQ(conn.open(stalled.port(), 2), -1);
    const long long elapsed = millisSince(start);
    EXPECT_EQ(platform::socketError(), platform::kErrorTimedOut);
    EXPECT_GE(elapsed, 1900);
    EXPECT_LT(elapsed, 4000);
    EXPECT_EQ(table(), std::make_tuple(0, 1, 0));
}

TEST_F(OpenConnection, ConnectedSocketIsNonBlocking) {
    LoopbackServer server({Script().pause(200ms).send("ready").readToEnd()}, kPrimary);
    ASSERT_TRUE(server.listening());
    OwnedConnection conn;
    ASSERT_EQ(conn.open(server.port(), 2), 0);
#if !defined(_WIN32)
    // Windows offers no way to read a socket's mode back.
    const int flags = ::fcntl(conn.socket(), F_GETFL);
    ASSERT_GE(flags, 0);
    EXPECT_NE(flags & O_NONBLOCK, 0);
#endif
    // A receive before the server's bytes come finds nothing instead of waiting.
    char got[5] = {};
    EXPECT_EQ(::recv(conn.socket(), got, sizeof got, 0), -1);
    EXPECT_TRUE(platform::isWouldBlock(platform::socketError()));
    EXPECT_TRUE(server.waitForAccepted(1));
}

}  // namespace
}  // namespace otpcli::test
