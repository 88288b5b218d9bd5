#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "net/connection.h"
#include "net/server_table.h"
#include "net_fixture.h"
#include "support/loopback_server.h"
#include "support/text.h"

namespace otpcli::test {
namespace {

constexpr std::uint32_t kPrimaryAddress = 0x7F000001;
constexpr std::uint32_t kBackupAddress = 0x7F000002;
constexpr int kPortAttempts = 20;

// One port number on which the primary refuses and the backup listens.
struct BackupOnlyPort {
    std::unique_ptr<LoopbackServer> backup;
    std::unique_ptr<RefusingPort> primary;
    std::uint16_t port() const { return backup->port(); }
};

// The ephemeral port the backup gets may be taken on the primary's address;
// then another one is tried.
BackupOnlyPort backupOnlyPort(int connections) {
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        BackupOnlyPort p;
        p.backup = std::make_unique<LoopbackServer>(std::vector<Script>(connections), kBackup);
        if (!p.backup->listening()) {
            continue;
        }
        p.primary = std::make_unique<RefusingPort>(kPrimary, p.backup->port());
        if (p.primary->bound()) {
            return p;
        }
    }
    return {};
}

// One port number on which both servers refuse.
struct RefusedPort {
    std::unique_ptr<RefusingPort> primary;
    std::unique_ptr<RefusingPort> backup;
    std::uint16_t port() const { return primary->port(); }
};

RefusedPort refusedPort() {
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        RefusedPort p;
        p.primary = std::make_unique<RefusingPort>(kPrimary);
        if (!p.primary->bound()) {
            continue;
        }
        p.backup = std::make_unique<RefusingPort>(kBackup, p.primary->port());
        if (p.backup->bound()) {
            return p;
        }
    }
    return {};
}

// getHost of a client object.
std::u16string currentHost() {
    OTPCLI client;
    BSTR host = nullptr;
    EXPECT_EQ(client.getHost(&host), S_OK);
    return take(host);
}

class Failover : public NetTest {
  protected:
    // One request's connect: its result, with the server it went to in *tried.
    int attempt(int port, std::uint32_t* tried) {
        OwnedConnection conn;
        const int r = conn.open(port, 2);
        *tried = ntohl(conn.conn.address);
        return r;
    }
};

TEST_F(Failover, SuccessBeforeTheFifthFailureKeepsThePrimary) {
    RefusingPort refused(kPrimary);
    LoopbackServer accepting({}, kPrimary);
    ASSERT_TRUE(refused.bound());
    ASSERT_TRUE(accepting.listening());
    std::uint32_t tried = 0;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (int i = 1; i <= kFailoverThreshold - 1; ++i) {
            EXPECT_EQ(attempt(refused.port(), &tried), -1);
            EXPECT_EQ(tried, kPrimaryAddress);
            EXPECT_EQ(table(), std::make_tuple(0, i, 0));
        }
        EXPECT_EQ(attempt(accepting.port(), &tried), 0);
        EXPECT_EQ(tried, kPrimaryAddress);
        EXPECT_EQ(table(), std::make_tuple(0, 0, 0));
    }
    EXPECT_EQ(currentHost(), u"127.0.0.1");
}

TEST_F(Failover, FifthFailureMovesRequestsToTheBackupUntilItFailsFiveTimes) {
    BackupOnlyPort split = backupOnlyPort(2);
    RefusedPort down = refusedPort();
    ASSERT_TRUE(split.primary && split.primary->bound());
    ASSERT_TRUE(down.backup && down.backup->bound());
    std::uint32_t tried = 0;

    for (int i = 1; i <= kFailoverThreshold; ++i) {
        EXPECT_EQ(attempt(split.port(), &tried), -1);
        EXPECT_EQ(tried, kPrimaryAddress);
    }
    EXPECT_EQ(table(), std::make_tuple(0, 5, 0));
    EXPECT_EQ(currentHost(), u"127.0.0.1");

    // The sixth goes to the backup, which becomes current.
    EXPECT_EQ(attempt(split.port(), &tried), 0);
    EXPECT_EQ(tried, kBackupAddress);
    EXPECT_EQ(table(), std::make_tuple(1, 0, 0));
    EXPECT_EQ(currentHost(), u"127.0.0.2");
    // And stays current while it works.
    EXPECT_EQ(attempt(split.port(), &tried), 0);
    EXPECT_EQ(tried, kBackupAddress);
    EXPECT_TRUE(split.backup->waitForAccepted(2));

    // The primary is tried again only after five failures of the backup.
    for (int i = 1; i <= kFailoverThreshold; ++i) {
        EXPECT_EQ(attempt(down.port(), &tried), -1);
        EXPECT_EQ(tried, kBackupAddress);
        EXPECT_EQ(table(), std::make_tuple(1, 0, i));
    }
    EXPECT_EQ(attempt(down.port(), &tried), -1);
    EXPECT_EQ(tried, kPrimaryAddress);
    EXPECT_EQ(table(), std::make_tuple(1, 1, 5));
    EXPECT_EQ(currentHost(), u"127.0.0.2");
}

TEST_F(Failover, FailingBackupKeepsGettingRequestsWhileThePrimaryStaysCurrent) {
    BackupOnlyPort split = backupOnlyPort(1);
    RefusedPort down = refusedPort();
    ASSERT_TRUE(split.primary && split.primary->bound());
    ASSERT_TRUE(down.backup && down.backup->bound());
    std::uint32_t tried = 0;

    for (int i = 1; i <= kFailoverThreshold; ++i) {
        EXPECT_EQ(attempt(down.port(), &tried), -1);
    }
    // The sixth, seventh and later requests go to the backup; its count rises,
    // but the primary stays current.
    for (int i = 1; i <= kFailoverThreshold + 1; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(attempt(down.port(), &tried), -1);
        EXPECT_EQ(tried, kBackupAddress);
        EXPECT_EQ(table(), std::make_tuple(0, 5, i));
        EXPECT_EQ(currentHost(), u"127.0.0.1");
    }
    // A success at the backup makes it current and clears both counts.
    EXPECT_EQ(attempt(split.port(), &tried), 0);
    EXPECT_EQ(tried, kBackupAddress);
    EXPECT_EQ(table(), std::make_tuple(1, 0, 0));
    EXPECT_EQ(currentHost(), u"127.0.0.2");
}

TEST_F(Failover, ReplacingTheHostsStartsOver) {
    RefusingPort refused(kPrimary);
    ASSERT_TRUE(refused.bound());
    RefusingPort refusedByNewPrimary("127.0.0.3");
    ASSERT_TRUE(refusedByNewPrimary.bound());
    std::uint32_t tried = 0;
    for (int i = 1; i <= kFailoverThreshold + 1; ++i) {
        attempt(refused.port(), &tried);
    }
    ASSERT_EQ(table(), std::make_tuple(0, 5, 1));

    EXPECT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.3"), w(u"127.0.0.4")), S_OK);
    EXPECT_EQ(table(), std::make_tuple(0, 0, 0));
    EXPECT_EQ(currentHost(), u"127.0.0.3");

    // Rejected names change nothing.
    attempt(refusedByNewPrimary.port(), &tried);
    const std::u16string tooLong(kMaxHostNameBytes + 1, u'a');
    EXPECT_EQ(OTPCLI::setServerHosts(nullptr, w(u"127.0.0.4")), E_POINTER);
    EXPECT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.5"), nullptr), E_POINTER);
    EXPECT_EQ(OTPCLI::setServerHosts(w(u""), w(u"127.0.0.4")), E_INVALIDARG);
    EXPECT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.5"), w(tooLong)), E_INVALIDARG);
    EXPECT_EQ(table(), std::make_tuple(0, 1, 0));
    EXPECT_EQ(currentHost(), u"127.0.0.3");

    const std::u16string longest(kMaxHostNameBytes, u'a');
    EXPECT_EQ(OTPCLI::setServerHosts(w(longest), w(u"127.0.0.4")), S_OK);
    EXPECT_EQ(currentHost(), longest);
}

TEST_F(Failover, ConcurrentFailuresAreAllCounted) {
    RefusedPort down = refusedPort();
    ASSERT_TRUE(down.backup && down.backup->bound());
    constexpr int kThreads = 2;
    constexpr int kAttemptsEach = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([port = down.port()] {
            for (int i = 0; i < kAttemptsEach; ++i) {
                OwnedConnection conn;
                conn.open(port, 2);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const ServerTableState state = serverTableState();
    EXPECT_EQ(state.currentIndex, 0);
    EXPECT_GE(state.failureCounts[0], kFailoverThreshold);
    EXPECT_EQ(state.failureCounts[0] + state.failureCounts[1], kThreads * kAttemptsEach);
}

}  // namespace
}  // namespace otpcli::test
