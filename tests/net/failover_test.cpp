#include <gtest/gtest.h>

#include <cstdio>
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

constexpr int kPortAttempts = 20;

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

// A reply of the service with the code "0000".
std::string successReply() {
    const std::string body = std::string(40, ' ') + "0000   ok";
    char length[6];
    std::snprintf(length, sizeof length, "%05zu", body.size());
    return length + body;
}

// The primary and the backup on one port number, each either answering
// requests or refusing connections.
struct ServerPair {
    std::unique_ptr<LoopbackServer> up[2];
    std::unique_ptr<RefusingPort> down[2];
    std::uint16_t port = 0;

    bool ready() const {
        for (int i = 0; i < 2; ++i) {
            if (!(up[i] && up[i]->listening()) && !(down[i] && down[i]->bound())) {
                return false;
            }
        }
        return true;
    }
};

constexpr int kRepliesPerServer = 16;

// The primary's ephemeral port may be taken on the backup's address; then
// another one is tried.
ServerPair serverPair(bool primaryUp, bool backupUp) {
    const char* hosts[2] = {kPrimary, kBackup};
    const bool upState[2] = {primaryUp, backupUp};
    const std::vector<Script> replies(kRepliesPerServer, Script().readFrame().send(successReply()));
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        ServerPair p;
        for (int i = 0; i < 2; ++i) {
            if (upState[i]) {
                p.up[i] = std::make_unique<LoopbackServer>(replies, hosts[i], p.port);
                if (p.up[i]->listening()) {
                    p.port = p.up[i]->port();
                }
            } else {
                p.down[i] = std::make_unique<RefusingPort>(hosts[i], p.port);
                if (p.down[i]->bound()) {
                    p.port = p.down[i]->port();
                }
            }
        }
        if (p.ready()) {
            return p;
        }
    }
    return {};
}

// Requests of a client object with a sequence of server states: which server
// each request goes to, and the code it ends with.
TEST_F(Failover, SequencesOfServersGoingDownAndComingBack) {
    constexpr bool U = true;
    constexpr bool D = false;
    constexpr int kNone = -1;  // no server tried
    struct Step {
        int times;
        bool primaryUp;
        bool backupUp;
        int server;        // tried: 0 primary, 1 backup
        const char* code;  // of each of the requests
        int connectTimeout = 2;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } sequences[] = {
        {"four failures and a success keep the primary",
         {{4, D, U, 0, "N001"}, {1, U, U, 0, "0000"}, {4, D, U, 0, "N001"}, {1, U, U, 0, "0000"}}},
        {"the fifth failure moves to the backup, which stays while it works",
         {{5, D, U, 0, "N001"},
          {2, U, U, 1, "0000"},
          {5, U, D, 1, "N001"},
          {1, U, D, 0, "0000"},
          {1, U, U, 0, "0000"}}},
        {"a failing backup gets the requests while the primary stays current",
         {{5, D, D, 0, "N001"}, {4, D, D, 1, "N001"}, {1, D, U, 1, "0000"}, {1, U, U, 1, "0000"}}},
        {"primary down five times with the backup down, then the primary back",
         {{5, D, D, 0, "N001"}, {5, U, D, 1, "N001"}, {1, U, D, 0, "0000"}, {1, U, U, 0, "0000"}}},
        {"both down, then the primary back",
         {{5, D, D, 0, "N001"}, {5, D, D, 1, "N001"}, {1, U, D, 0, "0000"}}},
        {"both down, then the backup back",
         {{5, D, D, 0, "N001"},
          {5, D, D, 1, "N001"},
          {1, D, D, 0, "N001"},
          {1, D, D, 1, "N001"},
          {1, D, U, 0, "N001"},
          {1, D, U, 1, "0000"},
          {1, U, U, 1, "0000"}}},
        {"the backup current, both down, then the primary back",
         {{5, D, U, 0, "N001"},
          {1, D, U, 1, "0000"},
          {5, D, D, 1, "N001"},
          {5, D, D, 0, "N001"},
          {1, D, D, 1, "N001"},
          {1, U, D, 0, "0000"}}},
        {"a request with no connect wait tries nothing and counts nothing",
         {{4, D, U, 0, "N001"},
          {3, D, U, kNone, "N001", 0},
          {1, D, U, kNone, "N001", -1},
          {1, U, U, 0, "0000"},
          {5, D, D, 0, "N001"},
          {2, D, D, kNone, "N001", 0},
          {5, D, D, 1, "N001"},
          {2, U, U, kNone, "N001", 0},
          {1, U, U, 0, "0000"}}},
    };
    for (const auto& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        ASSERT_TRUE(replaceServerHosts(kPrimary, kBackup));
        // One client object per state of the two servers, all sharing the table.
        ServerPair pairs[2][2];
        std::unique_ptr<OTPCLI> clients[2][2];
        int accepted[2][2][2] = {};
        for (const bool primaryUp : {false, true}) {
            for (const bool backupUp : {false, true}) {
                ServerPair& pair = pairs[primaryUp][backupUp];
                pair = serverPair(primaryUp, backupUp);
                ASSERT_TRUE(pair.ready());
                auto& client = clients[primaryUp][backupUp];
                client = std::make_unique<OTPCLI>();
                ASSERT_EQ(client->init(pair.port, w(u"SITE01"), w(u"key")), S_OK);
            }
        }
        int request = 0;
        for (const Step& step : sequence.steps) {
            for (int n = 0; n < step.times; ++n) {
                SCOPED_TRACE("request " + std::to_string(++request));
                ServerPair& pair = pairs[step.primaryUp][step.backupUp];
                OTPCLI& client = *clients[step.primaryUp][step.backupUp];
                const auto [current, primaryCount, backupCount] = table();
                ASSERT_EQ(client.setConnectTimeout(step.connectTimeout), S_OK);
                client.reqAddsvcCheck(w(u"010"), w(u"v"));
                BSTR code = nullptr;
                ASSERT_EQ(client.getErrorCode(&code), S_OK);
                EXPECT_EQ(take(code), utf16(step.code));
                if (step.server == kNone) {
                    EXPECT_EQ(table(), std::make_tuple(current, primaryCount, backupCount));
                } else if (std::string(step.code) == "0000") {
                    // The server took the connection, became current, and both
                    // counts are clear.
                    int& count = accepted[step.primaryUp][step.backupUp][step.server];
                    ASSERT_TRUE(pair.up[step.server]);
                    EXPECT_TRUE(pair.up[step.server]->waitForAccepted(++count));
                    EXPECT_EQ(table(), std::make_tuple(step.server, 0, 0));
                } else {
                    EXPECT_EQ(table(),
                              std::make_tuple(current, primaryCount + (step.server == 0 ? 1 : 0),
                                              backupCount + (step.server == 1 ? 1 : 0)));
                }
                // getHost names the current server, not the one tried.
                EXPECT_EQ(currentHost(), utf16(std::get<0>(table()) == 0 ? kPrimary : kBackup));
            }
        }
        // No server saw a connection other than those counted above.
        for (int p = 0; p < 2; ++p) {
            for (int b = 0; b < 2; ++b) {
                for (int i = 0; i < 2; ++i) {
                    if (pairs[p][b].up[i]) {
                        EXPECT_EQ(pairs[p][b].up[i]->acceptedCount(), accepted[p][b][i]);
                    }
                }
            }
        }
    }
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
