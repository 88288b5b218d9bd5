// OTPCLI::hashValue: the identity text of any string.
#include <algorithm>
#include <climits>
#include <cstddef>

#include <otpcli/otpcli.h>

#include "client/ansi_text.h"
#include "crypto/hash_value.h"
#include "platform/codepage.h"

namespace otpcli {

void digestText(std::string_view bytes, unsigned char* digest) noexcept {
    Sha1 sha1;
    const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t left = bytes.size(); left > 0;) {
        const std::size_t piece = std::min<std::size_t>(left, INT_MAX);
        sha1.update(next, static_cast<int>(piece));
        next += piece;
        left -= piece;
    }
    sha1.finish(digest);
}

}  // namespace otpcli

HRESULT OTPCLI::hashValue(const unsigned short* text, BSTR* hash) {
    if (text == nullptr || hash == nullptr) {
        return E_POINTER;
    }
    otpcli::AnsiText ansi;
    // Without memory for the converted text there is nothing to hash: an empty
    // text would give a wrong identity.
    if (!ansi.assign(text)) {
        return E_FAIL;
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
    *hash = out;
    return S_OK;
}
