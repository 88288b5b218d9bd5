// The shared path of the six requests that seal the subscriber's identity.
#pragma once

#include <span>

#include "requests/exchange.h"
#include "requests/frame.h"
#include "requests/outcome.h"

namespace otpcli {

// The 48-byte identity block of every sealing request.
inline constexpr int kSealedBytes = 48;
inline constexpr int kOwnFieldsOffset = kIdentityBlockOffset + 2 * kSealedBytes;

// Seals plain under the site's key material and lays out the frame head and the
// identity block. The returned frame is empty, with out set, on failure.
ByteBuffer buildSealedFrame(const RequestConfig& config, const Operation& op,
                            std::span<const unsigned char> plain, Outcome& out) noexcept;

// buildSealedFrame, then the operation's own fields, then the exchange.
template <typename WriteFields>
void runSealedRequest(const RequestConfig& config, const Operation& op,
                      std::span<const unsigned char> plain, WriteFields writeFields,
                      Outcome& out) noexcept {
    ByteBuffer frame = buildSealedFrame(config, op, plain, out);
    if (!frame) {
        return;
    }
    writeFields(reinterpret_cast<char*>(frame.get()));
    exchange(config, std::move(frame), op.frameLength, kSuccess, out);
}

}  // namespace otpcli
