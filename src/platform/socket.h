// The operating system's sockets, clock and waits, behind one small interface.
// Every routine reports failure as -1 and leaves the detail in the thread's
// socket error (socketError()).
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <winsock2.h>
#endif

namespace otpcli::platform {

#if defined(_WIN32)
using Socket = SOCKET;
inline constexpr Socket kNoSocket = INVALID_SOCKET;
#else
using Socket = int;
inline constexpr Socket kNoSocket = -1;
#endif

// Socket error values that the transport sets itself.
extern const int kErrorHostNotFound;  // name lookup failed
extern const int kErrorTimedOut;      // a wait or the retries ran out
extern const int kErrorInjected;      // a call failed by the test seam

int socketError() noexcept;
void setSocketError(int error) noexcept;
// A non-blocking transfer found nothing to do.
bool isWouldBlock(int error) noexcept;
// A non-blocking connect has started, or is still running.
bool isConnectUnderWay(int error) noexcept;
// The socket is already connected.
bool isAlreadyConnected(int error) noexcept;

// Starts the sockets layer (nothing to do on some systems); 0 or -1.
int startSockets() noexcept;

// The IPv4 address of a dotted address or host name, in network byte order.
int resolveIPv4(const char* host, std::uint32_t* address) noexcept;

// A new IPv4 stream socket, non-blocking from the start and for its whole life,
// that is not inherited by child processes.
Socket openStreamSocket() noexcept;
// Closes a socket; the no-socket value is ignored.
void closeSocket(Socket s) noexcept;

// Starts or continues a connect to address:port (both in network byte order).
int connectSocket(Socket s, std::uint32_t address, std::uint16_t port) noexcept;
// Whether a repeated connect reliably tells a connect that has completed (or
// failed) from one still under way, so that it may be asked right after the
// first call instead of waiting.
extern const bool kConnectAgainBeforeWait;

struct Readiness {
    bool readable = false;
    bool writable = false;
    // The wait saw an error or a hang-up on the socket, or the system cannot
    // tell: only then can the socket have a pending error worth reading.
    bool mayHaveError = true;
};

// Waits up to timeoutMillis for the socket to become readable (wantRead) or
// writable (wantWrite); an error or hang-up on the socket counts as both.
// >0 when ready, 0 when the time passed, -1 on failure. A wait interrupted by a
// signal is resumed for the time that remains.
int waitSocket(Socket s, bool wantRead, bool wantWrite, int timeoutMillis,
               Readiness* ready) noexcept;

// The socket's pending error (SO_ERROR) into *error; 0 or -1.
int pendingSocketError(Socket s, int* error) noexcept;

// One send or receive call; bytes moved, 0 when the peer closed (receive) or
// nothing was taken (send), -1 on failure. Sending never raises SIGPIPE.
int sendSome(Socket s, const char* bytes, int length) noexcept;
int recvSome(Socket s, char* buffer, int length) noexcept;

// A clock for measuring pauses, in microseconds; never set back.
std::int64_t clockMicros() noexcept;
// Waits on nothing for up to the given milliseconds; may return early.
void waitMillis(int millis) noexcept;

// Test seam: from now on on this thread, the k-th call (1-based) to socket
// creation, connect, wait, pending-error read, send or receive fails without
// reaching the system. 0 turns it off. Returns the calls counted so far.
int failSocketCallAt(int k) noexcept;
int socketCallsCounted() noexcept;

}  // namespace otpcli::platform
