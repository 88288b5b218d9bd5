#include "requests/frame.h"

#include <algorithm>
#include <cstring>

#include "requests/put_digits.h"

namespace otpcli {

ByteBuffer newFrame(int frameLength) noexcept {
    const std::size_t capacity = static_cast<std::size_t>(frameLength) + kReplyRoom;
    ByteBuffer frame = allocateBytes(capacity);
    if (frame) {
        std::memset(frame.get(), 0, capacity);
        std::memset(frame.get(), ' ', static_cast<std::size_t>(frameLength));
    }
    return frame;
}

void writeFrameHead(char* frame, const Operation& op, const char* siteId) noexcept {
    putDigits(op.frameLength - kLengthFieldBytes, kLengthFieldBytes, frame, 0);
    std::memcpy(frame + kTransactionCodeOffset, op.transactionCode, 7);
    std::memcpy(frame + kSiteIdOffset, siteId, kSiteIdBytes);
}

void writeText(char* frame, int offset, int width, std::string_view text) noexcept {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(width));
    std::memcpy(frame + offset, text.data(), n);
}

void writeCodeValuePair(char* frame, int offset, std::string_view code,
                        std::string_view value) noexcept {
    // A code shorter than three bytes is followed by spaces, not by whatever
    // lies after its terminator.
    writeText(frame, offset, kCodeTextBytes, code);
    writeText(frame, offset + kCodeTextBytes, kValueTextBytes, value);
}

}  // namespace otpcli
