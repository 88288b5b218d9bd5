// Text conversion with the system's ANSI code page (CP_ACP): code page 949 on
// Korean systems. Characters the code page lacks, and byte sequences it does
// not define, are replaced as the system does it. A conversion that the
// system refuses is reported, never passed on as an empty or partial text.
#include "platform/codepage.h"

#include <cstring>
#include <cwchar>

#include "platform/utf8_to_ansi.h"

namespace otpcli::platform {
namespace {

// The interface's units are the system's 16-bit WCHARs.
const WCHAR* wide(const unsigned short* text) noexcept {
    return reinterpret_cast<const WCHAR*>(text);
}

// The test seams (codepage.h).
thread_local bool converterWithheld = false;
thread_local std::size_t fakeLength = 0;

bool hasNonAscii(const unsigned short* text, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] >= 0x80) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::size_t wideLength(const unsigned short* text) noexcept {
    if (text == nullptr) {
        return 0;
    }
    return fakeLength > 0 ? fakeLength : wcslen(reinterpret_cast<const wchar_t*>(text));
}

bool ansiConverterAvailable() noexcept {
    // The system converts with the ANSI code page itself; only the test seam
    // takes that away.
    return !converterWithheld;
}

bool wideToAnsi(const unsigned short* text, std::size_t n, char* out,
                std::size_t outSize) noexcept {
    if (out == nullptr || outSize == 0) {
        return false;
    }
    out[0] = '\0';
    if (text == nullptr || n > kMaxWideUnits || outSize < 2 * n + 2) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    if (!ansiConverterAvailable() && hasNonAscii(text, n)) {
        return false;
    }
    // The n units without their terminator, so that a conversion that does not
    // fit (a multi-byte code page with longer sequences) fails as a whole
    // rather than leaving a part without its end.
    const int room = outSize - 1 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(outSize - 1);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide(text), static_cast<int>(n), out, room,
                                          nullptr, nullptr);
    if (bytes <= 0) {
        // A failed conversion may have written part of the text.
        std::memset(out, 0, static_cast<std::size_t>(room));
        return false;
    }
    out[bytes] = '\0';
    return true;
}

BSTR newStringFromAnsi(const char* ansi) noexcept {
    if (ansi == nullptr) {
        ansi = "";
    }
    // Units of the conversion, terminator included.
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    const UINT length = units > 0 ? static_cast<UINT>(units - 1) : 0;
    BSTR result = SysAllocStringLen(nullptr, length);
    if (result != nullptr && length > 0 &&
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, result, units) == 0) {
        // The same text converted a moment ago: not expected to fail, but the
        // caller must never see uninitialised units.
        ZeroMemory(result, length * sizeof(WCHAR));
    }
    return result;
}

Utf8Conversion utf8ToAnsi(const char* text, std::size_t n, char* out,
                          std::size_t outSize) noexcept {
    // Character by character, each through the system's conversion from
    // UTF-16: the same bytes and the same replacements as wideToAnsi, without a
    // UTF-16 copy of the whole text.
    return convertUtf8(text, n, out, outSize, [](char32_t cp, char* at, std::size_t room) {
        WCHAR units[2];
        int count = 1;
        if (cp >= 0x10000) {
            units[0] = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
            units[1] = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            count = 2;
        } else {
            units[0] = static_cast<WCHAR>(cp);
        }
        char converted[8];
        const int written = WideCharToMultiByte(CP_ACP, 0, units, count, converted,
                                                sizeof converted, nullptr, nullptr);
        // A code page with longer sequences than the UTF-8 input: the text does
        // not fit, and is not sent in part.
        if (written <= 0 || static_cast<std::size_t>(written) >= room) {
            return -1;
        }
        std::memcpy(at, converted, static_cast<std::size_t>(written));
        return written;
    });
}

void ansiToUtf8(const char* ansi, char* out, std::size_t outSize) noexcept {
    if (out == nullptr || outSize == 0) {
        return;
    }
    out[0] = '\0';
    if (ansi == nullptr) {
        return;
    }
    WCHAR wide[kMaxAnsiToUtf8];
    const int length = static_cast<int>(strnlen(ansi, kMaxAnsiToUtf8));
    const int units = length == 0 ? 0
                                  : MultiByteToWideChar(CP_ACP, 0, ansi, length, wide,
                                                        static_cast<int>(kMaxAnsiToUtf8));
    if (units <= 0) {
        return;
    }
    const int room = outSize - 1 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(outSize - 1);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, out, room, nullptr, nullptr);
    out[bytes > 0 ? bytes : 0] = '\0';
}

void setAnsiConverterUnavailable(bool unavailable) noexcept {
    converterWithheld = unavailable;
}

void setFakeWideLength(std::size_t units) noexcept {
    fakeLength = units;
}

}  // namespace otpcli::platform
