#include "requests/sealed_request.h"

#include <cstring>

#include "crypto/seal.h"
#include "crypto/sha1.h"
#include "crypto/wipe.h"

namespace otpcli {
namespace {

constexpr int kKeyIterations = 5;

}  // namespace

ByteBuffer buildSealedFrame(const RequestConfig& config, const Operation& op,
                            std::span<const unsigned char> plain, Outcome& out) noexcept {
    const int plainLength = static_cast<int>(plain.size());
    const int sealedLength = otpcli::sealedLength(plainLength);
    ByteBuffer sealed = allocateBytes(static_cast<std::size_t>(sealedLength));
    if (!sealed) {
        out.set(kOutOfMemory);
        return {};
    }
    unsigned char keyDigest[Sha1::kDigestBytes];
    Sha1 sha;
    sha.digest(reinterpret_cast<const unsigned char*>(config.keyMaterial),
               static_cast<int>(std::strlen(config.keyMaterial)), keyDigest);
    const int result = seal(keyDigest, Sha1::kDigestBytes, kKeyIterations, plain.data(),
                            plainLength, sealed.get());
    wipeObject(keyDigest);
    if (result != sealedLength) {
        out.set(kSealingFailed);
        return {};
    }
    ByteBuffer frame = newFrame(op.frameLength);
    if (!frame) {
        out.set(kOutOfMemory);
        return {};
    }
    auto* text = reinterpret_cast<char*>(frame.get());
    writeFrameHead(text, op, config.siteId);
    toHex(sealed.get(), sealedLength, text + kIdentityBlockOffset);
    return frame;
}

}  // namespace otpcli
