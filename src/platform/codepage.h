// Text conversion between the interface's UTF-16 and the library's internal
// bytes: code page 949 on POSIX systems, the ANSI code page (CP_ACP) on
// Windows, where a Korean system has code page 949. On Windows the system's
// conversion decides what replaces a character or byte sequence that the code
// page lacks.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include <otpcli/otpcli.h>

namespace otpcli::platform {

// The longest text, in UTF-16 units, that wideToAnsi takes: its buffer of
// 2n + 2 bytes must have a size, and on Windows the system's conversion counts
// units in an int.
#if defined(_WIN32)
inline constexpr std::size_t kMaxWideUnits =
    (SIZE_MAX - 2) / 2 < std::size_t{INT_MAX} ? (SIZE_MAX - 2) / 2 : std::size_t{INT_MAX};
#else
inline constexpr std::size_t kMaxWideUnits = (SIZE_MAX - 2) / 2;
#endif

// Number of UTF-16 units before the terminating zero; 0 for null.
std::size_t wideLength(const unsigned short* text) noexcept;

// True when this thread can convert characters beyond ASCII into code page
// 949: the converter could be opened (on Windows: the system's conversion,
// always there). ASCII needs no converter, its bytes being the same. Every
// conversion into code page 949 asks this before the first such character and
// fails when it is false, rather than turning the text into something else.
bool ansiConverterAvailable() noexcept;

// Converts the n units of text and its terminator into out, which holds
// outSize >= 2n + 2 bytes (n at most kMaxWideUnits). A character that code page
// 949 lacks, or an unpaired surrogate, becomes '?'. True when the text is
// converted. False when it cannot be: it has a character beyond ASCII and
// ansiConverterAvailable() is false, or the system's conversion failed, or the
// arguments break this contract. out then holds the empty text (when outSize
// is not 0) and none of the text's bytes.
bool wideToAnsi(const unsigned short* text, std::size_t n, char* out, std::size_t outSize) noexcept;

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

// Test seams, each for the calling thread only.
// true: ansiConverterAvailable() answers false, as on a system without the
// converter; false: the system's answer again.
void setAnsiConverterUnavailable(bool unavailable) noexcept;
// Not 0: wideLength gives this count for every text that is not null, so that
// tests reach lengths that no memory holds (the units are never read when the
// length is refused); 0: the real length again.
void setFakeWideLength(std::size_t units) noexcept;

}  // namespace otpcli::platform
