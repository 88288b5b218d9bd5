#include "requests/exchange.h"

#include <atomic>
#include <cstdint>

#include "net/connection.h"
#include "net/transfer.h"
#include "requests/frame.h"

namespace otpcli {
namespace {

// Closes the request's socket on every path out.
class SocketGuard {
  public:
    explicit SocketGuard(Connection& conn) : conn_(conn) {}
    ~SocketGuard() { close(); }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;

    void close() noexcept {
        platform::closeSocket(conn_.socket);
        conn_.socket = platform::kNoSocket;
    }

  private:
    Connection& conn_;
};

// The reply's bytes from the request's socket, all before one deadline.
class SocketReplySource final : public ReplySource {
  public:
    SocketReplySource(platform::Socket s, std::int64_t deadlineMicros)
        : socket_(s), deadlineMicros_(deadlineMicros) {}

    int receive(char* buffer, int length) noexcept override {
        // The first receive leaves the socket non-blocking for the later ones.
        const bool first = !nonBlocking_;
        nonBlocking_ = true;
        return first ? recvAll(socket_, buffer, length, kTransferPauseMillis, kTransferMaxRetries,
                               deadlineMicros_)
                     : recvMore(socket_, buffer, length, kTransferPauseMillis, kTransferMaxRetries,
                                deadlineMicros_);
    }

  private:
    platform::Socket socket_;
    std::int64_t deadlineMicros_;
    bool nonBlocking_ = false;
};

std::atomic<int> replyDeadline{kReplyDeadlineMillis};

}  // namespace

int replyDeadlineMillis() noexcept {
    return replyDeadline.load(std::memory_order_relaxed);
}

void setReplyDeadlineMillis(int millis) noexcept {
    replyDeadline.store(millis, std::memory_order_relaxed);
}

void exchange(const RequestConfig& config, ByteBuffer frame, int frameLength, const Result& success,
              Outcome& out) noexcept {
    Connection conn;
    SocketGuard guard(conn);
    if (openConnection(conn, config.port, config.connectTimeout) != 0) {
        out.set(kCannotConnect);
        return;
    }
    if (sendAll(conn.socket, reinterpret_cast<const char*>(frame.get()), frameLength,
                kTransferPauseMillis, kTransferMaxRetries) != frameLength) {
        out.set(kTransferFailed);
        return;
    }
    SocketReplySource source(
        conn.socket,
        platform::clockMicros() + static_cast<std::int64_t>(replyDeadlineMillis()) * 1000);
    if (!receiveReply(source, frame, static_cast<std::size_t>(frameLength) + kReplyRoom, out)) {
        return;
    }
    guard.close();
    interpretReply(reinterpret_cast<const char*>(frame.get()), success, out);
}

}  // namespace otpcli
