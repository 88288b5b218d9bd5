// One TCP connection to the service, made for one request.
#pragma once

#include <cstdint>

#include "platform/socket.h"

namespace otpcli {

struct Connection {
    platform::Socket socket = platform::kNoSocket;
    std::uint32_t address = 0;  // IPv4, network byte order
    std::uint16_t port = 0;     // network byte order
};

// Chooses a server from the server table, resolves it and connects within
// connectTimeout one-second waits. 0 with conn holding a connected socket, which
// is non-blocking (the transfers rely on that); -1 otherwise (the caller closes
// conn.socket either way). With connectTimeout 0 or less nothing is tried and
// no server's count changes.
int openConnection(Connection& conn, int port, int connectTimeout) noexcept;

// Connect of conn.socket (non-blocking) to conn's address, polled in one-second
// waits at most connectTimeout times. 0 when connected, -1 otherwise.
int connectWithTimeout(Connection& conn, int connectTimeout) noexcept;

}  // namespace otpcli
