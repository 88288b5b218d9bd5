// Text conversion between the interface's UTF-16 and the library's internal
// bytes: code page 949 on POSIX systems, the ANSI code page (CP_ACP) on
// Windows, where a Korean system has code page 949. On Windows the system's
// conversion decides what replaces a character or byte sequence that the code
// page lacks.
#pragma once

#include <cstddef>

#include <otpcli/otpcli.h>

namespace otpcli::platform {

// Number of UTF-16 units before the terminating zero.
int wideLength(const unsigned short* text) noexcept;

// Converts the n units of text and its terminator into out, which holds
// outSize >= 2n + 2 bytes. Never fails: a character that code page 949 lacks, or
// an unpaired surrogate, becomes '?', and out always ends up NUL-terminated.
void wideToAnsi(const unsigned short* text, int n, char* out, std::size_t outSize) noexcept;

// A new returned string holding the NUL-terminated code page 949 text ansi as
// UTF-16; a byte sequence the code page does not define becomes U+FFFD. Null when
// the allocation fails.
BSTR newStringFromAnsi(const char* ansi) noexcept;

// What became of a UTF-8 text handed to utf8ToAnsi.
enum class Utf8Conversion {
    converted,
    malformed,    // not well-formed UTF-8
    unavailable,  // the system's converter cannot be used
};

// Converts the n bytes of UTF-8 text (NUL-terminated) into out, which holds
// outSize >= n + 1 bytes, with the same converter and the same '?' for a
// character that code page 949 lacks as wideToAnsi. ASCII needs no converter.
// Anything but converted leaves out empty: a text is never sent half-converted.
Utf8Conversion utf8ToAnsi(const char* text, std::size_t n, char* out, std::size_t outSize) noexcept;

// Room that ansiToUtf8 needs for n bytes of code page 949 text: every byte can
// become a three-byte replacement character.
constexpr std::size_t utf8Room(std::size_t n) {
    return 3 * n + 1;
}

// Converts the NUL-terminated code page 949 text ansi (at most kMaxAnsiToUtf8
// bytes; what follows is left out) into UTF-8 in out, which holds
// utf8Room(strlen(ansi)) bytes or more; a byte sequence the code page does not
// define becomes U+FFFD, as in newStringFromAnsi. out is always NUL-terminated.
inline constexpr std::size_t kMaxAnsiToUtf8 = 256;
void ansiToUtf8(const char* ansi, char* out, std::size_t outSize) noexcept;

}  // namespace otpcli::platform
