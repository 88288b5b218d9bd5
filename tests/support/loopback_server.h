// Scripted TCP peers on loopback addresses (127.0.0.0/8) for tests of the
// transport and the requests: a server that plays one script per accepted
// connection, a port that refuses connections, and a listener on which a
// connect neither completes nor fails.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/sockets.h"

namespace otpcli::test {

using std::chrono::milliseconds;

// What the server does on one connection, in order. After the last step the
// connection is closed; a close that leaves received bytes unread goes out as a
// reset, as the kernel does it.
class Script {
  public:
    // Reads exactly n bytes and records them.
    Script& read(std::size_t n);
    // Reads a request frame, five ASCII digits giving the number of bytes that
    // follow and then those bytes, and records the whole frame.
    Script& readFrame();
    // Reads until the peer closes its side and records what came.
    Script& readToEnd();
    // Sends bytes, in pieces of pieceSize (0: all at once) with a pause of gap
    // between two pieces.
    Script& send(std::string bytes, std::size_t pieceSize = 0, milliseconds gap = milliseconds(0));
    // Keeps the connection open and does nothing for a while.
    Script& pause(milliseconds duration);
    // Ends the connection at once with a reset (SO_LINGER 0); later steps are
    // ignored. A reset straight after the accept can reach the client before it
    // has seen its connect complete, and so fail the connect; read first.
    Script& reset();

    enum class Kind { Read, ReadFrame, ReadToEnd, Send, Pause, Reset };
    struct Step {
        Kind kind;
        std::size_t count = 0;     // Read: bytes; Send: piece size
        std::string bytes;         // Send
        milliseconds duration{0};  // Send: gap; Pause: duration
    };
    const std::vector<Step>& steps() const { return steps_; }

  private:
    std::vector<Step> steps_;
};

// Listens on a loopback address and serves one script per accepted connection,
// in order, on its own thread. Once the scripts are used up it accepts no more;
// later connects complete in the backlog and are never served. A read or send
// that makes no progress for ioLimit ends its connection. The destructor stops
// the thread at once and closes every socket.
class LoopbackServer {
  public:
    // address: dotted 127.x.y.z; port 0 takes an ephemeral one.
    explicit LoopbackServer(std::vector<Script> scripts, const std::string& address = "127.0.0.1",
                            std::uint16_t port = 0, milliseconds ioLimit = milliseconds(5000));
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // False when the address could not be bound or listened on.
    bool listening() const { return listener_ != kNoSocketHandle; }
    std::uint16_t port() const { return port_; }
    const std::string& address() const { return address_; }

    // Connections accepted so far, and those whose script has ended and whose
    // socket is closed.
    int acceptedCount() const;
    int finishedCount() const;
    // Everything the read steps recorded so far, one entry per step, in the
    // order they ran. A read cut short records what came and ends its connection.
    std::vector<std::string> received() const;

    // Wait up to limit for n connections to be accepted, for n scripts to end,
    // or for every script to end (or the server to give up); true when it happened.
    bool waitForAccepted(int n, milliseconds limit = milliseconds(5000)) const;
    bool waitForFinished(int n, milliseconds limit = milliseconds(5000)) const;
    bool waitUntilDone(milliseconds limit = milliseconds(5000)) const;

  private:
    void run();
    void serve(SocketHandle connection, const Script& script);
    bool readExactly(SocketHandle connection, std::size_t n, std::string& into);
    bool readToEnd(SocketHandle connection, std::string& into);
    bool sendAllBytes(SocketHandle connection, const std::string& bytes);
    // Waits for the socket (or, when it is kNoSocketHandle, for nothing) until
    // the time passes or the server stops; true when the socket is ready.
    bool waitFor(SocketHandle fd, short events, milliseconds limit);
    void record(std::string bytes);
    // Changes the progress counters under the lock and wakes the waiters.
    template <typename Change>
    void update(Change change);

    std::vector<Script> scripts_;
    std::string address_;
    std::uint16_t port_ = 0;
    milliseconds ioLimit_;
    SocketHandle listener_ = kNoSocketHandle;
    SocketHandle wake_[2] = {kNoSocketHandle, kNoSocketHandle};  // signalled to stop the thread
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int accepted_ = 0;
    int finished_ = 0;
    bool done_ = false;
    std::vector<std::string> received_;

    std::thread thread_;
};

// A socket bound to a loopback address and port that never listens: every
// connect to it is refused.
class RefusingPort {
  public:
    explicit RefusingPort(const std::string& address = "127.0.0.1", std::uint16_t port = 0);
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    // False when the address and port could not be bound (the port is taken).
    bool bound() const { return socket_ != kNoSocketHandle; }
    std::uint16_t port() const { return port_; }

  private:
    SocketHandle socket_ = kNoSocketHandle;
    std::uint16_t port_ = 0;
};

// A listener with a backlog of 0 whose accept queue this object fills itself
// and never drains, so the SYN of a further connect is dropped: the connect
// neither completes nor fails until its own time limit.
class StalledListener {
  public:
    explicit StalledListener(const std::string& address = "127.0.0.1");
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    // True once a probe connect was seen to hang; tests assert it first.
    bool stalled() const { return stalled_; }
    std::uint16_t port() const { return port_; }

  private:
    SocketHandle listener_ = kNoSocketHandle;
    std::vector<SocketHandle> fillers_;
    std::uint16_t port_ = 0;
    bool stalled_ = false;
};

}  // namespace otpcli::test
