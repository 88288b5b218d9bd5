#include "requests/exchange.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "net/connection.h"
#include "net/transfer.h"
#include "requests/frame.h"

namespace otpcli {
namespace {

constexpr int kReplyCodeOffset = 40;
constexpr int kReplyMessageOffset = 47;
constexpr char kSuccessCode[] = "0000";

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

std::atomic<int> replyDeadline{kReplyDeadlineMillis};

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int replyDeadlineMillis() noexcept {
    return replyDeadline.load(std::memory_order_relaxed);
}

void setReplyDeadlineMillis(int millis) noexcept {
    replyDeadline.store(millis, std::memory_order_relaxed);
}

int parseReplyLength(const char* digits) noexcept {
    const char* p = digits;
    while (isSpace(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    int value = 0;
    for (int i = 0; i < kLengthFieldBytes && *p >= '0' && *p <= '9'; ++i, ++p) {
        value = value * 10 + (*p - '0');
    }
    return negative ? -value : value;
}

void exchange(const RequestConfig& config, ByteBuffer frame, int frameLength, const Result& success,
              Outcome& out) noexcept {
    Connection conn;
    SocketGuard guard(conn);
    if (openConnection(conn, config.port, config.connectTimeout) != 0) {
        out.set(kCannotConnect);
        return;
    }
    auto* buffer = reinterpret_cast<char*>(frame.get());
    std::size_t capacity = static_cast<std::size_t>(frameLength) + kReplyRoom;
    if (sendAll(conn.socket, buffer, frameLength, kTransferPauseMillis, kTransferMaxRetries) !=
        frameLength) {
        out.set(kTransferFailed);
        return;
    }
    std::memset(buffer, 0, capacity);
    const std::int64_t deadline =
        platform::clockMicros() + static_cast<std::int64_t>(replyDeadlineMillis()) * 1000;
    if (recvAll(conn.socket, buffer, kLengthFieldBytes, kTransferPauseMillis, kTransferMaxRetries,
                deadline) != kLengthFieldBytes) {
        out.set(kTransferFailed);
        return;
    }
    const int bodyLength = parseReplyLength(buffer);
    if (bodyLength < 0) {
        out.set(kTransferFailed);
        return;
    }
    // The buffer always keeps a NUL after the body.
    if (capacity < static_cast<std::size_t>(bodyLength) + 1) {
        frame.reset();
        capacity = static_cast<std::size_t>(bodyLength) + 1;
        frame = allocateBytes(capacity);
        if (!frame) {
            out.set(kOutOfMemory);
            return;
        }
        buffer = reinterpret_cast<char*>(frame.get());
        std::memset(buffer, 0, capacity);
    }
    // The first receive left the socket non-blocking.
    if (recvMore(conn.socket, buffer, bodyLength, kTransferPauseMillis, kTransferMaxRetries,
                 deadline) != bodyLength) {
        out.set(kTransferFailed);
        return;
    }
    guard.close();
    if (std::memcmp(buffer + kReplyCodeOffset, kSuccessCode, 4) == 0) {
        out.set(success, S_OK);
        return;
    }
    // Short bodies: the zeroed buffer supplies the terminators, and a code of
    // fewer than four bytes becomes Z001 in the error state.
    out.setText(buffer + kReplyCodeOffset, buffer + kReplyMessageOffset);
    out.status = E_FAIL;
}

}  // namespace otpcli
