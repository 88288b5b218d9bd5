#include "net/connection.h"

#include <cstring>

#include "net/server_table.h"

namespace otpcli {
namespace {

constexpr int kConnectWaitMillis = 1000;

std::uint16_t networkPort(int port) noexcept {
    const auto host = static_cast<std::uint16_t>(port & 0xFFFF);
    const unsigned char bytes[2] = {static_cast<unsigned char>(host >> 8),
                                    static_cast<unsigned char>(host & 0xFF)};
    std::uint16_t net = 0;
    static_assert(sizeof net == sizeof bytes);
    std::memcpy(&net, bytes, sizeof net);
    return net;
}

// One connect call: 1 when connected, 0 when under way, -1 when it failed.
int connectStep(Connection& conn) noexcept {
    if (platform::connectSocket(conn.socket, conn.address, conn.port) == 0) {
        return 1;
    }
    const int error = platform::socketError();
    if (platform::isAlreadyConnected(error)) {
        return 1;
    }
    return platform::isConnectUnderWay(error) ? 0 : -1;
}

}  // namespace

int connectWithTimeout(Connection& conn, int connectTimeout) noexcept {
    for (int waits = 0; waits < connectTimeout;) {
        int step = connectStep(conn);
        // A connect to a nearby server (loopback above all) is often through
        // by the time the call returns, though reported as under way: asking
        // once more costs less than a wait.
        if (step == 0 && waits == 0 && platform::kConnectAgainBeforeWait) {
            step = connectStep(conn);
        }
        // A connect that completes at once needs no wait.
        if (step != 0) {
            return step > 0 ? 0 : -1;
        }
        platform::Readiness ready;
        const int r = platform::waitSocket(conn.socket, true, true, kConnectWaitMillis, &ready);
        if (r < 0) {
            return -1;
        }
        if (r == 0) {
            ++waits;
            continue;
        }
        if (!ready.readable && !ready.writable) {
            return -1;
        }
        // A wait that saw no error spares reading the pending error: it is 0.
        int pending = 0;
        if (ready.mayHaveError && platform::pendingSocketError(conn.socket, &pending) != 0) {
            return -1;
        }
        if (pending != 0) {
            platform::setSocketError(pending);
            return -1;
        }
        return 0;
    }
    platform::setSocketError(platform::kErrorTimedOut);
    return -1;
}

int openConnection(Connection& conn, int port, int connectTimeout) noexcept {
    conn.socket = platform::kNoSocket;
    // No wait allowed: nothing is tried, so nothing is held against a server
    // (the table is shared by every object in the process).
    if (connectTimeout <= 0) {
        platform::setSocketError(platform::kErrorTimedOut);
        return -1;
    }
    if (platform::startSockets() != 0) {
        return -1;
    }
    conn.address = 0;
    char host[kMaxHostNameBytes + 1];
    const int i = chooseServer(host);
    if (platform::resolveIPv4(host, &conn.address) != 0) {
        return -1;
    }
    conn.port = networkPort(port);
    conn.socket = platform::openStreamSocket();
    if (conn.socket == platform::kNoSocket) {
        return -1;
    }
    if (connectWithTimeout(conn, connectTimeout) != 0) {
        recordConnectFailure(i);
        return -1;
    }
    recordConnectSuccess(i);
    return 0;
}

}  // namespace otpcli
