// OTPCLI::hashValue: the identity text of any string.
#include <otpcli/otpcli.h>

#include "client/ansi_text.h"
#include "crypto/hash_value.h"
#include "crypto/wipe.h"
#include "platform/codepage.h"

namespace otpcli {

void digestText(std::string_view bytes, unsigned char* digest) noexcept {
    Sha1 sha1;
    sha1.update({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
    sha1.finish(digest);
}

}  // namespace otpcli

HRESULT OTPCLI::hashValue(const unsigned short* text, BSTR* hash) {
    if (text == nullptr || hash == nullptr) {
        return E_POINTER;
    }
    otpcli::AnsiText ansi;
    // Without the converted text there is nothing to hash: an empty or
    // replaced text would give a wrong identity. Too long a text gives
    // E_INVALIDARG; no memory, or no converter for its characters, E_FAIL.
    const HRESULT converted = otpcli::statusOf(ansi.assign(text));
    if (converted != S_OK) {
        return converted;
    }

    unsigned char digest[otpcli::Sha1::kDigestBytes];
    otpcli::digestText(ansi.view(), digest);

    // The hex digits are ASCII, which every ANSI code page keeps as is: each
    // character becomes the UTF-16 unit of the same value, so the 40 characters
    // are written straight into the new string.
    constexpr unsigned int kHexChars = 2 * otpcli::Sha1::kDigestBytes;
    BSTR out = SysAllocStringLen(nullptr, kHexChars);
    if (out != nullptr) {
        otpcli::toHexUnits(digest, sizeof digest, out);
    }
    // The digest stands for the text, which may be a resident registration
    // number; the returned string is the caller's.
    otpcli::wipeInline(digest, sizeof digest);
    *hash = out;
    return S_OK;
}
