#include "requests/identity.h"

#include <cstring>

#include "crypto/sha1.h"
#include "crypto/wipe.h"

namespace otpcli {

void hashIdentity(const AnsiText& text, std::span<char, 40> out) noexcept {
    unsigned char digest[Sha1::kDigestBytes];
    Sha1 sha;
    sha.update({reinterpret_cast<const unsigned char*>(text.c_str()), text.size()});
    sha.finish(digest);
    toHex(digest, Sha1::kDigestBytes, out.data());
    wipeInline(digest, sizeof digest);
}

bool makeIdentityText(const AnsiText& userId, int identityForm, std::span<char, 40> out) noexcept {
    if (identityForm == kIdentityFormText) {
        if (userId.size() != out.size()) {
            return false;
        }
        std::memcpy(out.data(), userId.c_str(), out.size());
        return true;
    }
    hashIdentity(userId, out);
    return true;
}

}  // namespace otpcli
