// One request frame sent to the service and its reply read, over one connection.
#pragma once

#include "client/allocation.h"
#include "client/messages.h"
#include "requests/outcome.h"

namespace otpcli {

// Pause after a transfer call that would block, and how many such calls in a
// row end the transfer.
inline constexpr int kTransferPauseMillis = 50;
inline constexpr int kTransferMaxRetries = 100;
// The whole reply (length field and body) must arrive within this time. A
// service that answers does so in well under a second; one that keeps sending
// a byte now and then would otherwise hold the caller's thread for days.
inline constexpr int kReplyDeadlineMillis = 30'000;

// The reply deadline in force: kReplyDeadlineMillis unless a test shortened it.
int replyDeadlineMillis() noexcept;
void setReplyDeadlineMillis(int millis) noexcept;

// Sends the first frameLength bytes of frame (frameLength + kReplyRoom bytes in
// all) and reads the reply into the same buffer, or a larger one. Sets out to
// success (with that result's message) when the service answers "0000", else to
// the service's code and message or the local failure. Releases the buffer and
// closes the socket on every path.
void exchange(const RequestConfig& config, ByteBuffer frame, int frameLength, const Result& success,
              Outcome& out) noexcept;

// The reply length announced by the five length bytes, read as atoi does:
// leading white space, an optional sign, then digits up to the first non-digit.
int parseReplyLength(const char* digits) noexcept;

}  // namespace otpcli
