// Windows Sockets: the socket calls of Windows Sockets 1.1 through ws2_32.
#include <cstring>

#include "platform/fault_seam.h"
#include "platform/socket.h"

namespace otpcli::platform {

const int kErrorHostNotFound = 2;
const int kErrorTimedOut = WSAETIMEDOUT;
const int kErrorInjected = WSAENETDOWN;
// What a repeated connect reports while the first is pending varies between
// implementations of Windows Sockets 1.1: completion is learnt from the wait.
const bool kConnectAgainBeforeWait = false;

namespace {

// The version the library asks for: 1.0. ws2_32 grants it, and every call
// used here exists in it.
constexpr WORD kSocketsVersion = MAKEWORD(1, 0);

}  // namespace

int socketError() noexcept {
    return WSAGetLastError();
}
void setSocketError(int error) noexcept {
    WSASetLastError(error);
}

bool isWouldBlock(int error) noexcept {
    return error == WSAEWOULDBLOCK;
}
// A repeated connect while the first is pending reports WSAEALREADY.
bool isConnectUnderWay(int error) noexcept {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEALREADY;
}
bool isAlreadyConnected(int error) noexcept {
    return error == WSAEISCONN;
}

// Called before every connection and never undone: each call only raises the
// layer's reference count.
int startSockets() noexcept {
    WSADATA data;
    const int r = WSAStartup(kSocketsVersion, &data);
    if (r != 0) {
        WSASetLastError(r);
        return -1;
    }
    return 0;
}

int resolveIPv4(const char* host, std::uint32_t* address) noexcept {
    const unsigned long dotted = inet_addr(host);
    if (dotted != INADDR_NONE) {
        *address = static_cast<std::uint32_t>(dotted);
        return 0;
    }
    const hostent* found = gethostbyname(host);
    if (found == nullptr || found->h_addrtype != AF_INET || found->h_length != 4 ||
        found->h_addr_list == nullptr || found->h_addr_list[0] == nullptr) {
        setSocketError(kErrorHostNotFound);
        return -1;
    }
    std::memcpy(address, found->h_addr_list[0], sizeof *address);
    return 0;
}

Socket openStreamSocket() noexcept {
    if (injectFault()) {
        return kNoSocket;
    }
    const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == kNoSocket) {
        return kNoSocket;
    }
    // Sockets are inheritable handles by default. A failure here leaves the
    // socket usable, so it is not an error.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // Windows Sockets 1.1 creates sockets blocking; one switch, for good.
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        ::closesocket(s);
        WSASetLastError(error);
        return kNoSocket;
    }
    return s;
}

void closeSocket(Socket s) noexcept {
    if (s != kNoSocket) {
        ::closesocket(s);
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
    return ::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? 0 : -1;
}

int waitSocket(Socket s, bool wantRead, bool wantWrite, int timeoutMillis,
               Readiness* ready) noexcept {
    *ready = Readiness{};
    if (injectFault()) {
        return -1;
    }
    // fd_set is a counted list here, so any socket value fits. A failed
    // non-blocking connect shows only in the exception set: it is watched too
    // and counts as both, as an error does on the other systems.
    fd_set readSet;
    fd_set writeSet;
    fd_set errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    if (wantRead) {
        FD_SET(s, &readSet);
    }
    if (wantWrite) {
        FD_SET(s, &writeSet);
    }
    FD_SET(s, &errorSet);
    const int millis = timeoutMillis < 0 ? 0 : timeoutMillis;
    timeval limit{};
    limit.tv_sec = millis / 1000;
    limit.tv_usec = (millis % 1000) * 1000;
    const int r = ::select(0, &readSet, &writeSet, &errorSet, &limit);
    if (r == SOCKET_ERROR) {
        return -1;
    }
    if (r > 0) {
        const bool broken = FD_ISSET(s, &errorSet) != 0;
        ready->readable = wantRead && (broken || FD_ISSET(s, &readSet) != 0);
        ready->writable = wantWrite && (broken || FD_ISSET(s, &writeSet) != 0);
    }
    return r;
}

int pendingSocketError(Socket s, int* error) noexcept {
    if (injectFault()) {
        return -1;
    }
    int len = sizeof *error;
    return ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(error), &len) ==
                   SOCKET_ERROR
               ? -1
               : 0;
}

int sendSome(Socket s, const char* bytes, int length) noexcept {
    if (injectFault()) {
        return -1;
    }
    const int r = ::send(s, bytes, length, 0);
    return r == SOCKET_ERROR ? -1 : r;
}

int recvSome(Socket s, char* buffer, int length) noexcept {
    if (injectFault()) {
        return -1;
    }
    const int r = ::recv(s, buffer, length, 0);
    return r == SOCKET_ERROR ? -1 : r;
}

// The performance counter: monotonic, so that a change of the system time
// neither stretches nor cuts a pause.
std::int64_t clockMicros() noexcept {
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::int64_t ticks = now.QuadPart;
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

void waitMillis(int millis) noexcept {
    if (millis > 0) {
        Sleep(static_cast<DWORD>(millis));
    }
}

}  // namespace otpcli::platform
