// Sockets for test peers and checks, on POSIX systems and on Windows: the few
// calls whose names, types or error values differ between the two.
#pragma once

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include <string>

namespace otpcli::test {

#if defined(_WIN32)
using SocketHandle = SOCKET;
inline constexpr SocketHandle kNoSocketHandle = INVALID_SOCKET;
// Windows raises no signal on a broken connection.
inline constexpr int kSendNoSignal = 0;
inline constexpr int kShutdownWrite = SD_SEND;
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocketHandle = -1;
inline constexpr int kSendNoSignal = MSG_NOSIGNAL;
inline constexpr int kShutdownWrite = SHUT_WR;
#endif

// The error of a connect to a port where nothing listens.
extern const int kErrorConnectionRefused;

// A new IPv4 stream socket, not inherited by child processes; the sockets
// layer is started first where it needs that. kNoSocketHandle on failure.
SocketHandle openTcpSocket(bool nonBlocking = false);
// Accepts one connection; the new socket has the given mode.
SocketHandle acceptConnection(SocketHandle listener, bool nonBlocking);
bool setSocketNonBlocking(SocketHandle s, bool nonBlocking);
// A blocking receive on s fails after millis without data (SO_RCVTIMEO).
bool setReceiveTimeout(SocketHandle s, int millis);
void closeSocketHandle(SocketHandle s);

// The calling thread's last socket error (errno or WSAGetLastError()).
int lastSocketError();
// A non-blocking call found nothing to do, or was interrupted: try again.
bool isRetryableSocketError(int error);
// A non-blocking connect has started and not yet ended.
bool isConnectInProgress(int error);

// poll() over sockets; entries whose socket is kNoSocketHandle are ignored.
int pollSockets(pollfd* entries, unsigned count, int timeoutMillis);

// A pair that wakes a poll: pollSockets on wake[0] with POLLIN returns once
// signalWake(wake) was called. False when it cannot be made.
bool openWakePair(SocketHandle wake[2]);
void signalWake(const SocketHandle wake[2]);
void closeWakePair(SocketHandle wake[2]);

}  // namespace otpcli::test
