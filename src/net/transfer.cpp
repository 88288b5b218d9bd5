#include "net/transfer.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace otpcli {
namespace {

// The first wait of a receive: pauseMillis / 10 whole seconds, in milliseconds,
// cut to what is left before the deadline and held within what one wait takes.
int firstWaitMillis(int pauseMillis, std::int64_t deadlineMicros) noexcept {
    std::int64_t millis = static_cast<std::int64_t>(pauseMillis / 10) * 1000;
    if (deadlineMicros != INT64_MAX) {
        const std::int64_t left = deadlineMicros - platform::clockMicros();
        millis = std::min(millis, left <= 0 ? 0 : (left + 999) / 1000);
    }
    return static_cast<int>(std::clamp<std::int64_t>(millis, 0, INT_MAX));
}

// Result of one would-block call: false once maxRetries have come in a row
// (the thread's socket error then says timed out), else after the pause.
bool retryAfterWouldBlock(int& retries, int pauseMillis, int maxRetries) noexcept {
    if (++retries == maxRetries) {
        platform::setSocketError(platform::kErrorTimedOut);
        return false;
    }
    sleepMillis(pauseMillis);
    return true;
}

// The receive of recvAll, recvAtLeast and recvMore: at least length bytes, and
// no more than room. tryFirst: one receive before the first wait. What it finds
// is what the wait and the first receive after it would have found: bytes, the
// peer's close, or the connection's error.
int receive(platform::Socket s, char* buffer, int length, int room, int pauseMillis, int maxRetries,
            std::int64_t deadlineMicros, bool tryFirst) noexcept {
    int got = 0;
    if (tryFirst && length > 0) {
        const int r = platform::recvSome(s, buffer, room);
        if (r == 0) {
            return 0;
        }
        if (r < 0 && !platform::isWouldBlock(platform::socketError())) {
            return -1;
        }
        got = r < 0 ? 0 : r;
    }
    if (got == 0) {
        platform::Readiness ready;
        if (platform::waitSocket(s, true, false, firstWaitMillis(pauseMillis, deadlineMicros),
                                 &ready) <= 0 ||
            !ready.readable) {
            return -1;
        }
        // A wait that saw no error spares reading the pending error: it is 0.
        int pending = 0;
        if (ready.mayHaveError &&
            (platform::pendingSocketError(s, &pending) != 0 || pending != 0)) {
            return -1;
        }
    }
    int retries = 0;
    while (got < length) {
        const int r = platform::recvSome(s, buffer + got, room - got);
        if (r < 0) {
            if (!platform::isWouldBlock(platform::socketError())) {
                return -1;
            }
            if (platform::clockMicros() >= deadlineMicros) {
                platform::setSocketError(platform::kErrorTimedOut);
                return -1;
            }
            if (!retryAfterWouldBlock(retries, pauseMillis, maxRetries)) {
                return -1;
            }
        } else if (r == 0) {
            return got;
        } else {
            got += r;
            retries = 0;
        }
    }
    return got;
}

}  // namespace

int recvAll(platform::Socket s, char* buffer, int length, int pauseMillis,
            int maxRetries) noexcept {
    return recvAll(s, buffer, length, pauseMillis, maxRetries, INT64_MAX);
}

int recvAll(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries,
            std::int64_t deadlineMicros) noexcept {
    return receive(s, buffer, length, length, pauseMillis, maxRetries, deadlineMicros, false);
}

int recvAtLeast(platform::Socket s, char* buffer, int length, int room, int pauseMillis,
                int maxRetries, std::int64_t deadlineMicros) noexcept {
    return receive(s, buffer, length, std::max(length, room), pauseMillis, maxRetries,
                   deadlineMicros, true);
}

int recvMore(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries,
             std::int64_t deadlineMicros) noexcept {
    return receive(s, buffer, length, length, pauseMillis, maxRetries, deadlineMicros, true);
}

int sendAll(platform::Socket s, const char* bytes, int length, int pauseMillis,
            int maxRetries) noexcept {
    int sent = 0;
    int retries = 0;
    while (sent < length) {
        const int r = platform::sendSome(s, bytes + sent, length - sent);
        if (r < 0) {
            if (!platform::isWouldBlock(platform::socketError()) ||
                !retryAfterWouldBlock(retries, pauseMillis, maxRetries)) {
                return -1;
            }
        } else if (r == 0) {
            return sent;
        } else {
            sent += r;
            retries = 0;
        }
    }
    return sent;
}

void sleepMillis(int ms) noexcept {
    if (ms <= 0) {
        return;
    }
    const std::int64_t start = platform::clockMicros();
    std::int64_t elapsed = 0;
    while (elapsed < ms) {
        platform::waitMillis(static_cast<int>(ms - elapsed));
        elapsed = (platform::clockMicros() - start) / 1000;
    }
}

}  // namespace otpcli
