#include "support/sockets.h"

#if defined(_WIN32)

#include <mutex>
#include <vector>

namespace otpcli::test {

const int kErrorConnectionRefused = WSAECONNREFUSED;

namespace {

// The library starts the sockets layer only when it connects; test peers may
// come first.
void startSocketsOnce() {
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

void keepFromChildren(SocketHandle s) {
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

SocketHandle openTcpSocket(bool nonBlocking) {
    startSocketsOnce();
    const SocketHandle s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == kNoSocketHandle) {
        return s;
    }
    keepFromChildren(s);
    if (!setSocketNonBlocking(s, nonBlocking)) {
        closeSocketHandle(s);
        return kNoSocketHandle;
    }
    return s;
}

SocketHandle acceptConnection(SocketHandle listener, bool nonBlocking) {
    const SocketHandle s = ::accept(listener, nullptr, nullptr);
    if (s == kNoSocketHandle) {
        return s;
    }
    keepFromChildren(s);
    // An accepted socket takes the listener's mode; set the one asked for.
    if (!setSocketNonBlocking(s, nonBlocking)) {
        closeSocketHandle(s);
        return kNoSocketHandle;
    }
    return s;
}

bool setSocketNonBlocking(SocketHandle s, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return ::ioctlsocket(s, FIONBIO, &mode) == 0;
}

bool setReceiveTimeout(SocketHandle s, int millis) {
    const DWORD limit = static_cast<DWORD>(millis);
    return ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
                        sizeof limit) == 0;
}

void closeSocketHandle(SocketHandle s) {
    if (s != kNoSocketHandle) {
        ::closesocket(s);
    }
}

int lastSocketError() {
    return WSAGetLastError();
}

bool isRetryableSocketError(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool isConnectInProgress(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

int pollSockets(pollfd* entries, unsigned count, int timeoutMillis) {
    // WSAPoll takes only real sockets.
    std::vector<pollfd> used;
    for (unsigned i = 0; i < count; ++i) {
        entries[i].revents = 0;
        if (entries[i].fd != kNoSocketHandle) {
            used.push_back(entries[i]);
        }
    }
    if (used.empty()) {
        Sleep(timeoutMillis < 0 ? INFINITE : static_cast<DWORD>(timeoutMillis));
        return 0;
    }
    const int r = WSAPoll(used.data(), static_cast<ULONG>(used.size()), timeoutMillis);
    for (unsigned i = 0, k = 0; i < count; ++i) {
        if (entries[i].fd != kNoSocketHandle) {
            entries[i].revents = used[k++].revents;
        }
    }
    return r;
}

// A UDP socket on a loopback port: a datagram it sends to itself makes it
// readable.
bool openWakePair(SocketHandle wake[2]) {
    startSocketsOnce();
    wake[0] = wake[1] = kNoSocketHandle;
    const SocketHandle s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == kNoSocketHandle) {
        return false;
    }
    keepFromChildren(s);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0) {
        ::closesocket(s);
        return false;
    }
    wake[0] = wake[1] = s;
    return true;
}

void signalWake(const SocketHandle wake[2]) {
    sockaddr_in self{};
    int len = sizeof self;
    if (::getsockname(wake[1], reinterpret_cast<sockaddr*>(&self), &len) == 0) {
        const char byte = 0;
        ::sendto(wake[1], &byte, 1, 0, reinterpret_cast<const sockaddr*>(&self), len);
    }
}

void closeWakePair(SocketHandle wake[2]) {
    closeSocketHandle(wake[0]);
    wake[0] = wake[1] = kNoSocketHandle;
}

}  // namespace otpcli::test

#else

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace otpcli::test {

const int kErrorConnectionRefused = ECONNREFUSED;

SocketHandle openTcpSocket(bool nonBlocking) {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
}

SocketHandle acceptConnection(SocketHandle listener, bool nonBlocking) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0));
}

bool setSocketNonBlocking(SocketHandle s, bool nonBlocking) {
    const int flags = ::fcntl(s, F_GETFL);
    return flags >= 0 &&
           ::fcntl(s, F_SETFL, nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

bool setReceiveTimeout(SocketHandle s, int millis) {
    const timeval limit{millis / 1000, (millis % 1000) * 1000};
    return ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0;
}

void closeSocketHandle(SocketHandle s) {
    if (s != kNoSocketHandle) {
        ::close(s);
    }
}

int lastSocketError() {
    return errno;
}

bool isRetryableSocketError(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool isConnectInProgress(int error) {
    return error == EINPROGRESS;
}

int pollSockets(pollfd* entries, unsigned count, int timeoutMillis) {
    return ::poll(entries, count, timeoutMillis);
}

bool openWakePair(SocketHandle wake[2]) {
    if (::pipe2(wake, O_CLOEXEC) != 0) {
        wake[0] = wake[1] = kNoSocketHandle;
        return false;
    }
    return true;
}

void signalWake(const SocketHandle wake[2]) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(wake[1], &byte, 1);
}

void closeWakePair(SocketHandle wake[2]) {
    for (int i = 0; i < 2; ++i) {
        if (wake[i] >= 0) {
            ::close(wake[i]);
        }
        wake[i] = kNoSocketHandle;
    }
}

}  // namespace otpcli::test

#endif
