// Scaffolding shared by the transport tests: the process-wide server table in
// its first state around every test, and a connection closed on every path.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "net/connection.h"
#include "net/server_table.h"
#include "platform/socket.h"

namespace otpcli::test {

inline constexpr char kPrimary[] = "127.0.0.1";
inline constexpr char kBackup[] = "127.0.0.2";

// Every test starts and ends with the loopback hosts, the primary current, both
// counts 0 and no socket fault armed on the test's thread.
class NetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::failSocketCallAt(0);
        ASSERT_TRUE(replaceServerHosts(kPrimary, kBackup));
    }
    void TearDown() override {
        platform::failSocketCallAt(0);
        replaceServerHosts(kPrimary, kBackup);
    }
};

// The table as (current index, primary count, backup count), for comparisons.
inline std::tuple<int, int, int> table() {
    const ServerTableState state = serverTableState();
    return {state.currentIndex, state.failureCounts[0], state.failureCounts[1]};
}

// A Connection as a request holds it: whatever socket it has is closed at the
// end of the scope.
class OwnedConnection {
  public:
    OwnedConnection() = default;
    ~OwnedConnection() { close(); }
    OwnedConnection(const OwnedConnection&) = delete;
    OwnedConnection& operator=(const OwnedConnection&) = delete;

    // openConnection on a fresh record, after closing the previous socket.
    int open(int port, int connectTimeout) {
        close();
        return openConnection(conn, port, connectTimeout);
    }
    void close() {
        platform::closeSocket(conn.socket);
        conn.socket = platform::kNoSocket;
    }
    platform::Socket socket() const { return conn.socket; }

    Connection conn;
};

inline long long millisSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace otpcli::test
