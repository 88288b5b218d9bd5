// The service's reply: five ASCII digits giving the body length, then the body
// with the result code at body byte 40 and the message from body byte 47.
#pragma once

#include <cstddef>

#include "client/allocation.h"
#include "client/messages.h"
#include "requests/outcome.h"

namespace otpcli {

inline constexpr int kReplyCodeOffset = 40;
inline constexpr int kReplyMessageOffset = 47;

// Where the reply's bytes come from. receive() fills exactly length bytes of
// buffer and returns length, fewer when the peer closed first, or -1 on failure.
class ReplySource {
  public:
    virtual int receive(char* buffer, int length) noexcept = 0;

  protected:
    ~ReplySource() = default;
};

// The reply length announced by the five length bytes, read as atoi does:
// leading white space, an optional sign, then digits up to the first non-digit.
int parseReplyLength(const char* digits) noexcept;

// Zeroes buffer (capacity bytes, at least kReplyMessageOffset + 1) and reads the
// length field and then the body over it, replacing buffer with a larger zeroed
// one when the body and a NUL after it do not fit. True when the whole body
// arrived; else out is set (N002, or A001 for the larger buffer) and false.
bool receiveReply(ReplySource& source, ByteBuffer& buffer, std::size_t capacity,
                  Outcome& out) noexcept;

// The outcome of a received body, as receiveReply leaves it: success (with the
// operation's own message) for the code "0000", else the code and message the
// service sent.
void interpretReply(const char* body, const Result& success, Outcome& out) noexcept;

}  // namespace otpcli
