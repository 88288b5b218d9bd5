// The C interface's conversions as the fuzz targets use them, each into a
// buffer of exactly the size the library promises to stay within.
#pragma once

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/codepage.h"
#include "platform/utf8.h"

namespace fuzz {

// UTF-8 bytes (no NUL) to code page 949, in a buffer of n + 1 bytes; false
// when the library refuses them as malformed, which leaves the buffer empty.
inline bool utf8ToAnsi(const std::string& utf8, std::string& ansi) {
    std::vector<char> out(utf8.size() + 1, 'X');
    const auto result =
        otpcli::platform::utf8ToAnsi(utf8.c_str(), utf8.size(), out.data(), out.size());
    FUZZ_CHECK(result != otpcli::platform::Utf8Conversion::unavailable);
    const std::size_t length = std::string(out.data(), out.size()).find('\0');
    FUZZ_CHECK(length != std::string::npos);
    std::size_t measured = 0;
    const bool wellFormed = otpcli::platform::isWellFormedUtf8(utf8.c_str(), measured);
    FUZZ_CHECK(measured == utf8.size());
    FUZZ_CHECK(wellFormed == (result == otpcli::platform::Utf8Conversion::converted));
    FUZZ_CHECK(wellFormed || length == 0);
    ansi.assign(out.data(), length);
    return wellFormed;
}

// Code page 949 text (no NUL) to UTF-8, in a buffer of utf8Room(n) bytes; the
// result is well-formed UTF-8.
inline std::string ansiToUtf8(const std::string& bytes) {
    std::vector<char> out(otpcli::platform::utf8Room(bytes.size()), 'X');
    otpcli::platform::ansiToUtf8(bytes.c_str(), out.data(), out.size());
    const std::size_t length = std::string(out.data(), out.size()).find('\0');
    FUZZ_CHECK(length != std::string::npos);
    const std::string utf8(out.data(), length);
    std::size_t measured = 0;
    FUZZ_CHECK(otpcli::platform::isWellFormedUtf8(utf8.c_str(), measured));
    return utf8;
}

}  // namespace fuzz
