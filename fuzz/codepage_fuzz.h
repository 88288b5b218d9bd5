// The two code-page conversions as the fuzz targets use them, each into a
// buffer of exactly the size the library promises to stay within.
#pragma once

#include <string>
#include <vector>

#include <otpcli/otpcli.h>

#include "fuzz_check.h"
#include "platform/codepage.h"

namespace fuzz {

// UTF-16 text (no zero unit) to code page 949, in a buffer of 2n + 2 bytes.
inline std::string toAnsi(const std::u16string& text) {
    std::vector<unsigned short> units(text.begin(), text.end());
    units.push_back(0);
    const std::size_t n = otpcli::platform::wideLength(units.data());
    FUZZ_CHECK(n == text.size());
    std::vector<char> out(2 * text.size() + 2, 'X');
    FUZZ_CHECK(otpcli::platform::wideToAnsi(units.data(), n, out.data(), out.size()));
    const std::size_t length = std::string(out.data(), out.size()).find('\0');
    FUZZ_CHECK(length != std::string::npos && length <= 2 * text.size());
    return std::string(out.data(), length);
}

// Code page 949 text (no NUL) to UTF-16, through a returned string.
inline std::u16string fromAnsi(const std::string& bytes) {
    const std::vector<char> exact(bytes.c_str(), bytes.c_str() + bytes.size() + 1);
    BSTR returned = otpcli::platform::newStringFromAnsi(exact.data());
    FUZZ_CHECK(returned != nullptr);
    const unsigned int units = SysStringLen(returned);
    std::u16string text(returned, returned + units);
    FUZZ_CHECK(returned[units] == 0);
    SysFreeString(returned);
    // One unit at most per byte; no zero unit, no surrogate.
    FUZZ_CHECK(text.size() <= bytes.size());
    for (const char16_t unit : text) {
        FUZZ_CHECK(unit != 0 && (unit < 0xD800 || unit > 0xDFFF));
    }
    return text;
}

}  // namespace fuzz
