// UTF-8 as the C interface's texts carry it: well-formed sequences only.
#pragma once

#include <cstddef>

namespace otpcli::platform {

// Decodes the code point that starts the n bytes at text into cp. Returns its
// length in bytes (1 to 4), or 0 when the bytes there are no well-formed UTF-8
// sequence: a stray continuation byte, a lead byte that is never used, a
// sequence cut short, an overlong form, a surrogate or a value past U+10FFFF.
int decodeUtf8(const unsigned char* text, std::size_t n, char32_t& cp) noexcept;

// True when the NUL-terminated text is well-formed UTF-8 throughout; its length
// in bytes goes to length either way.
bool isWellFormedUtf8(const char* text, std::size_t& length) noexcept;

// Writes cp (a scalar value: at most U+10FFFF, no surrogate) as UTF-8 into out
// (4 bytes of room); returns how many bytes.
int encodeUtf8(char32_t cp, char* out) noexcept;

}  // namespace otpcli::platform
