#include "requests/exchange.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

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

// The reply's bytes from the request's socket, all before one deadline. The
// receive of the length field tries a receive before it waits (a nearby
// service's reply is often there by the time the frame is sent) and takes
// whatever of the body has come with it, so that the body rarely needs a call
// of its own.
class SocketReplySource final : public ReplySource {
  public:
    SocketReplySource(platform::Socket s, std::int64_t deadlineMicros)
        : socket_(s), deadlineMicros_(deadlineMicros) {}

    int receive(char* buffer, int length) noexcept override {
        if (!begun_) {
            begun_ = true;
            if (length > kReadAheadBytes) {
                return recvAll(socket_, buffer, length, kTransferPauseMillis, kTransferMaxRetries,
                               deadlineMicros_);
            }
            held_ = recvAtLeast(socket_, ahead_, length, kReadAheadBytes, kTransferPauseMillis,
                                kTransferMaxRetries, deadlineMicros_);
            return held_ < 0 ? -1 : takeHeld(buffer, length);
        }
        // What came earlier first (a zero-length receive that finds bytes held
        // has seen the socket readable), then the rest, which has most likely
        // come by now too.
        const bool anyHeld = held_ > used_;
        const int taken = takeHeld(buffer, length);
        if (taken == length && anyHeld) {
            return taken;
        }
        const int r = recvMore(socket_, buffer + taken, length - taken, kTransferPauseMillis,
                               kTransferMaxRetries, deadlineMicros_);
        return r < 0 ? -1 : taken + r;
    }

  private:
    static constexpr int kReadAheadBytes = 512;

    // Up to length of the bytes held, into buffer.
    int takeHeld(char* buffer, int length) noexcept {
        const int taken = std::clamp(held_ - used_, 0, std::max(length, 0));
        std::memcpy(buffer, ahead_ + used_, static_cast<std::size_t>(taken));
        used_ += taken;
        return taken;
    }

    platform::Socket socket_;
    std::int64_t deadlineMicros_;
    bool begun_ = false;
    char ahead_[kReadAheadBytes];
    int held_ = 0;  // bytes in ahead_
    int used_ = 0;  // of them, handed out
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
