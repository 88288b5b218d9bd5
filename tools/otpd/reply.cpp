#include "reply.h"

#include <cstdio>

#include "request_frame.h"

namespace otpd {
namespace {

// Width of the transaction code digits that follow the result code.
constexpr std::size_t kCodeTailBytes = 3;

std::string field(std::string_view request, std::size_t offset, std::size_t width) {
    if (request.size() < offset + width) {
        return std::string(width, ' ');
    }
    return std::string(request.substr(offset, width));
}

}  // namespace

std::string encodeReply(std::string_view request, std::string_view code, std::string_view message) {
    std::string body = field(request, kIdentityFieldOffset, kIdentityFieldBytes);
    body += code;
    body += field(request, kTransactionOffset + kTransactionBytes - kCodeTailBytes, kCodeTailBytes);
    body += message;
    char length[kLengthFieldBytes + 1];
    (void)std::snprintf(length, sizeof length, "%05zu", body.size());
    return std::string(length, kLengthFieldBytes) + body;
}

}  // namespace otpd
