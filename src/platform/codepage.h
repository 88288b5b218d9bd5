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

}  // namespace otpcli::platform
