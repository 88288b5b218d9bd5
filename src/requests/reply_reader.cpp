#include "requests/reply_reader.h"

#include <cstring>

#include "requests/frame.h"

namespace otpcli {
namespace {

constexpr char kSuccessCode[] = "0000";

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

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

bool receiveReply(ReplySource& source, ByteBuffer& buffer, std::size_t capacity,
                  Outcome& out) noexcept {
    auto* bytes = reinterpret_cast<char*>(buffer.get());
    std::memset(bytes, 0, capacity);
    if (source.receive(bytes, kLengthFieldBytes) != kLengthFieldBytes) {
        out.set(kTransferFailed);
        return false;
    }
    const int bodyLength = parseReplyLength(bytes);
    if (bodyLength < 0) {
        out.set(kTransferFailed);
        return false;
    }
    // The buffer always keeps a NUL after the body.
    if (capacity < static_cast<std::size_t>(bodyLength) + 1) {
        buffer.reset();
        capacity = static_cast<std::size_t>(bodyLength) + 1;
        buffer = allocateBytes(capacity);
        if (!buffer) {
            out.set(kOutOfMemory);
            return false;
        }
        bytes = reinterpret_cast<char*>(buffer.get());
        std::memset(bytes, 0, capacity);
    }
    if (source.receive(bytes, bodyLength) != bodyLength) {
        out.set(kTransferFailed);
        return false;
    }
    return true;
}

void interpretReply(const char* body, const Result& success, Outcome& out) noexcept {
    if (std::memcmp(body + kReplyCodeOffset, kSuccessCode, 4) == 0) {
        out.set(success, S_OK);
        return;
    }
    // Short bodies: the zeroed buffer supplies the terminators, and a code of
    // fewer than four bytes becomes Z001 in the error state.
    out.setText(body + kReplyCodeOffset, body + kReplyMessageOffset);
    out.status = E_FAIL;
}

}  // namespace otpcli
