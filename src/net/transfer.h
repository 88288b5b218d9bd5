// Exact-count transfers on a connected, non-blocking socket (as openConnection
// gives), with bounded retries.
#pragma once

#include <cstdint>

#include "platform/socket.h"

namespace otpcli {

// Receives length bytes into buffer. Waits pauseMillis / 10 seconds for the
// first data, then retries a would-block read after a pause of pauseMillis, up
// to maxRetries in a row. length when all arrived, fewer when the peer closed
// first, -1 on failure.
int recvAll(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries) noexcept;

// recvAll that also gives up, with the timed-out error, once the clock
// (platform::clockMicros) passes deadlineMicros: the retry budget starts again
// at every byte, so without it a peer that keeps dribbling holds the caller.
int recvAll(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries,
            std::int64_t deadlineMicros) noexcept;

// The same receive for the rest of a message whose first bytes have come, so
// that the rest is most likely there already: it tries one receive before the
// first wait, and waits (as recvAll does) only when that finds nothing yet.
int recvMore(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries,
             std::int64_t deadlineMicros) noexcept;

// recvMore that also takes whatever has come after the length bytes, up to room
// bytes in all (the calls are the same; each just asks for more): for a reply
// whose sender is near, which is often there by the time the request's send
// returns. The bytes received: at least length, fewer when the peer closed
// first; -1 on failure.
int recvAtLeast(platform::Socket s, char* buffer, int length, int room, int pauseMillis,
                int maxRetries, std::int64_t deadlineMicros) noexcept;

// Sends length bytes, retrying a would-block send as recvAll does (a request
// frame is far smaller than what a new connection's send buffer takes at once).
// length when all went out, fewer when a send took nothing, -1 on failure.
int sendAll(platform::Socket s, const char* bytes, int length, int pauseMillis,
            int maxRetries) noexcept;

// Pauses for at least ms milliseconds, measured on a clock that is never set
// back; returns at once for ms <= 0.
void sleepMillis(int ms) noexcept;

}  // namespace otpcli
