#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/fault_seam.h"
#include "platform/socket.h"

namespace otpcli::platform {

const int kErrorHostNotFound = 2;
const int kErrorTimedOut = ETIMEDOUT;
const int kErrorInjected = EIO;
// A repeated connect gives 0 once connected, the failure once failed, and
// EALREADY while under way.
const bool kConnectAgainBeforeWait = true;

int socketError() noexcept {
    return errno;
}
void setSocketError(int error) noexcept {
    errno = error;
}

bool isWouldBlock(int error) noexcept {
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool isConnectUnderWay(int error) noexcept {
    return error == EINPROGRESS || error == EALREADY;
}
bool isAlreadyConnected(int error) noexcept {
    return error == EISCONN;
}

int startSockets() noexcept {
    return 0;
}

int resolveIPv4(const char* host, std::uint32_t* address) noexcept {
    const in_addr_t dotted = inet_addr(host);
    if (dotted != INADDR_NONE) {
        *address = dotted;
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        setSocketError(kErrorHostNotFound);
        return -1;
    }
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    freeaddrinfo(found);
    *address = first.sin_addr.s_addr;
    return 0;
}

Socket openStreamSocket() noexcept {
    if (injectFault()) {
        return kNoSocket;
    }
    // Made non-blocking by the call that creates it: no mode switch later.
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

void closeSocket(Socket s) noexcept {
    if (s != kNoSocket) {
        ::close(s);
    }
}

int connectSocket(Socket s, std::uint32_t address, std::uint16_t port) noexcept {
    if (injectFault()) {
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr.s_addr = address;
    // A connect interrupted by a signal goes on in the background; the caller
    // sees it as under way.
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        return 0;
    }
    if (errno == EINTR) {
        errno = EINPROGRESS;
    }
    return -1;
}

int waitSocket(Socket s, bool wantRead, bool wantWrite, int timeoutMillis,
               Readiness* ready) noexcept {
    *ready = Readiness{};
    if (injectFault()) {
        return -1;
    }
    pollfd entry{};
    entry.fd = s;
    entry.events = static_cast<short>((wantRead ? POLLIN : 0) | (wantWrite ? POLLOUT : 0));
    const std::int64_t deadline = clockMicros() + static_cast<std::int64_t>(timeoutMillis) * 1000;
    int remaining = timeoutMillis < 0 ? 0 : timeoutMillis;
    for (;;) {
        const int r = ::poll(&entry, 1, remaining);
        if (r >= 0) {
            if (r > 0) {
                const bool broken = (entry.revents & (POLLERR | POLLHUP)) != 0;
                ready->readable = wantRead && (broken || (entry.revents & POLLIN) != 0);
                ready->writable = wantWrite && (broken || (entry.revents & POLLOUT) != 0);
                // poll reports a pending socket error as POLLERR.
                ready->mayHaveError = broken;
                if ((entry.revents & POLLNVAL) != 0) {
                    errno = EBADF;
                    return -1;
                }
            }
            return r;
        }
        if (errno != EINTR) {
            return -1;
        }
        const std::int64_t left = deadline - clockMicros();
        remaining = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
    }
}

int pendingSocketError(Socket s, int* error) noexcept {
    if (injectFault()) {
        return -1;
    }
    socklen_t len = sizeof *error;
    return ::getsockopt(s, SOL_SOCKET, SO_ERROR, error, &len) < 0 ? -1 : 0;
}

int sendSome(Socket s, const char* bytes, int length) noexcept {
    if (injectFault()) {
        return -1;
    }
    for (;;) {
        const ssize_t r = ::send(s, bytes, static_cast<std::size_t>(length), MSG_NOSIGNAL);
        if (r >= 0 || errno != EINTR) {
            return static_cast<int>(r);
        }
    }
}

int recvSome(Socket s, char* buffer, int length) noexcept {
    if (injectFault()) {
        return -1;
    }
    for (;;) {
        const ssize_t r = ::recv(s, buffer, static_cast<std::size_t>(length), 0);
        if (r >= 0 || errno != EINTR) {
            return static_cast<int>(r);
        }
    }
}

std::int64_t clockMicros() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void waitMillis(int millis) noexcept {
    if (millis > 0) {
        ::poll(nullptr, 0, millis);
    }
}

}  // namespace otpcli::platform
