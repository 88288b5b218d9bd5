#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>

#include "net/connection.h"
#include "net/transfer.h"
#include "net_fixture.h"
#include "platform/socket.h"
#include "support/descriptors.h"
#include "support/loopback_server.h"

namespace otpcli::test {
namespace {

// The fault seam fails with EIO (WSAENETDOWN on Windows).
#if defined(_WIN32)
constexpr int kInjectedError = WSAENETDOWN;
#else
constexpr int kInjectedError = EIO;
#endif

class SocketFault : public NetTest {};

TEST_F(SocketFault, EveryFailingCallFailsTheConnectAndLeaksNothing) {
    LoopbackServer server({}, kPrimary);
    ASSERT_TRUE(server.listening());
    int calls = 0;
    {
        OwnedConnection conn;
        platform::failSocketCallAt(0);
        ASSERT_EQ(conn.open(server.port(), 2), 0);
        calls = platform::socketCallsCounted();
    }
    // Socket and connect, then a second connect or a wait at the least.
    ASSERT_GE(calls, 3);
    for (int k = 1; k <= calls; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(replaceServerHosts(kPrimary, kBackup));
        const int before = openDescriptorCount();
        {
            OwnedConnection conn;
            platform::failSocketCallAt(k);
            EXPECT_EQ(conn.open(server.port(), 2), -1);
            EXPECT_EQ(platform::socketError(), kInjectedError);
            platform::failSocketCallAt(0);
            // A socket that could not be made is no failure of the server.
            EXPECT_EQ(table(), std::make_tuple(0, k == 1 ? 0 : 1, 0));
        }
        EXPECT_EQ(openDescriptorCount(), before);
    }
}

TEST_F(SocketFault, EveryFailingCallFailsATransferAndLeaksNothing) {
    const struct {
        const char* name;
        // Runs the transfer on a connected socket.
        int (*transfer)(platform::Socket);
    } cases[] = {
        {"recvAll",
         [](platform::Socket s) {
             char buffer[5];
             return recvAll(s, buffer, 5, 10, 100);
         }},
        {"sendAll", [](platform::Socket s) { return sendAll(s, "hello", 5, 10, 100); }},
    };
    constexpr int kMostCalls = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool completed = false;
        for (int k = 1; k <= kMostCalls && !completed; ++k) {
            SCOPED_TRACE(k);
            const int before = openDescriptorCount();
            int calls = 0;
            {
                LoopbackServer server({Script().send("hello").read(5)}, kPrimary);
                OwnedConnection conn;
                ASSERT_EQ(conn.open(server.port(), 2), 0);
                platform::failSocketCallAt(k);
                const int r = c.transfer(conn.socket());
                calls = platform::failSocketCallAt(0);
                if (calls < k) {
                    // Fewer calls than k: nothing failed, the transfer is done.
                    EXPECT_EQ(r, 5);
                } else {
                    EXPECT_EQ(r, -1);
                    EXPECT_EQ(platform::socketError(), kInjectedError);
                }
            }
            EXPECT_EQ(openDescriptorCount(), before);
            completed = calls < k;
        }
        EXPECT_TRUE(completed);
    }
}

}  // namespace
}  // namespace otpcli::test
