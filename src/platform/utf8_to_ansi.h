// The walk over a UTF-8 text that both platforms' utf8ToAnsi share: decoding,
// refusal of malformed text, ASCII copied as it is, and the converter asked
// before the first character beyond ASCII. Only how one such character becomes
// code page bytes differs between the platforms.
#pragma once

#include <cstddef>

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace otpcli::platform {

// Converts the n bytes of UTF-8 text into out (outSize bytes) as utf8ToAnsi
// does. encode(cp, at, room) writes the code page bytes of one character
// beyond ASCII at at, where room bytes are left before the end of out, and
// returns how many, or -1 when the character cannot be converted there.
// Anything but converted leaves out empty.
template <typename Encode>
Utf8Conversion convertUtf8(const char* text, std::size_t n, char* out, std::size_t outSize,
                           Encode encode) noexcept {
    if (out == nullptr || outSize == 0) {
        return Utf8Conversion::unavailable;
    }
    out[0] = '\0';
    if (text == nullptr || outSize < n + 1) {
        return Utf8Conversion::unavailable;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (i < n && bytes[i] < 0x80) {
        out[i] = text[i];
        ++i;
    }
    std::size_t pos = i;
    while (i < n) {
        char32_t cp = 0;
        const int length = decodeUtf8(bytes + i, n - i, cp);
        if (length == 0) {
            out[0] = '\0';
            return Utf8Conversion::malformed;
        }
        i += static_cast<std::size_t>(length);
        if (cp < 0x80) {
            out[pos++] = static_cast<char>(cp);
            continue;
        }
        // Without the converter every character would become '?': the text
        // would reach the service changed beyond recognition.
        if (!ansiConverterAvailable()) {
            out[0] = '\0';
            return Utf8Conversion::unavailable;
        }
        const int written = encode(cp, out + pos, outSize - pos);
        if (written < 0) {
            out[0] = '\0';
            return Utf8Conversion::unavailable;
        }
        pos += static_cast<std::size_t>(written);
    }
    out[pos] = '\0';
    return Utf8Conversion::converted;
}

}  // namespace otpcli::platform
