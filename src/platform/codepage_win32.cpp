// Text conversion with the system's ANSI code page (CP_ACP): code page 949 on
// Korean systems. Characters the code page lacks, and byte sequences it does
// not define, are replaced as the system does it.
#include "platform/codepage.h"

namespace otpcli::platform {
namespace {

// The interface's units are the system's 16-bit WCHARs.
const WCHAR* wide(const unsigned short* text) noexcept {
    return reinterpret_cast<const WCHAR*>(text);
}

}  // namespace

int wideLength(const unsigned short* text) noexcept {
    return text == nullptr ? 0 : lstrlenW(wide(text));
}

void wideToAnsi(const unsigned short* text, int n, char* out, std::size_t outSize) noexcept {
    if (out == nullptr || outSize == 0) {
        return;
    }
    out[0] = '\0';
    if (text == nullptr || n <= 0 || outSize < 2 * static_cast<std::size_t>(n) + 2) {
        return;
    }
    // The n units without their terminator, so that a conversion that does not
    // fit (a multi-byte code page with longer sequences) leaves the empty text
    // rather than a part without its end.
    const int room = outSize - 1 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(outSize - 1);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide(text), n, out, room, nullptr, nullptr);
    out[bytes > 0 ? bytes : 0] = '\0';
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

}  // namespace otpcli::platform
