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

}  // namespace

int recvAll(platform::Socket s, char* buffer, int length, int pauseMillis,
            int maxRetries) noexcept {
    return recvAll(s, buffer, length, pauseMillis, maxRetries, INT64_MAX);
}

int recvAll(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries,
            std::int64_t deadlineMicros) noexcept {
    if (platform::setNonBlocking(s, true) != 0) {
        return -1;
    }
    return recvMore(s, buffer, length, pauseMillis, maxRetries, deadlineMicros);
}

int recvMore(platform::Socket s, char* buffer, int length, int pauseMillis, int maxRetries,
             std::int64_t deadlineMicros) noexcept {
    platform::Readiness ready;
    if (platform::waitSocket(s, true, false, firstWaitMillis(pauseMillis, deadlineMicros),
                             &ready) <= 0 ||
        !ready.readable) {
        return -1;
    }
    // A wait that saw no error spares reading the pending error: it is 0.
    int pending = 0;
    if (ready.mayHaveError && (platform::pendingSocketError(s, &pending) != 0 || pending != 0)) {
        return -1;
    }
    int got = 0;
    int retries = 0;
    while (got < length) {
        const int r = platform::recvSome(s, buffer + got, length - got);
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
