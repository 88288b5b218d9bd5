// Reply frames: five digits giving the body's length, then the body with the
// result code at body bytes 40-43 and the message from body byte 47.
#pragma once

#include <string>
#include <string_view>

namespace otpd {

inline constexpr std::size_t kReplyCodeOffset = 40;
inline constexpr std::size_t kReplyMessageOffset = 47;

// The reply to request (whatever bytes of it arrived). Body bytes 0-39 echo the
// request's identity field and bytes 44-46 the last three digits of its
// transaction code, so that a reply lines up with its request; both are spaces
// where the request is too short to have them.
std::string encodeReply(std::string_view request, std::string_view code, std::string_view message);

}  // namespace otpd
