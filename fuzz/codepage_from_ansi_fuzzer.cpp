// Arbitrary bytes (up to the first NUL) read as code page 949 text into a
// returned UTF-16 string. ASCII passes unchanged; a second trip through both
// conversions changes nothing the first one left. Read into UTF-8 (the C
// interface's result texts, at most 256 bytes), they give the characters of the
// returned string.
#include <cstddef>
#include <cstdint>
#include <string>

#include <otpcli/otpcli.hpp>

#include "codepage_fuzz.h"
#include "utf8_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes = bytes.substr(0, bytes.find('\0'));
    const std::u16string text = fuzz::fromAnsi(bytes);
    bool ascii = true;
    for (const char c : bytes) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        FUZZ_CHECK(text == std::u16string(bytes.begin(), bytes.end()));
    }
    const std::string once = fuzz::toAnsi(text);
    FUZZ_CHECK(fuzz::toAnsi(fuzz::fromAnsi(once)) == once);

    const std::string head = bytes.substr(0, otpcli::platform::kMaxAnsiToUtf8);
    FUZZ_CHECK(fuzz::ansiToUtf8(head) == otpcli::utf16ToUtf8(fuzz::fromAnsi(head)));
    return 0;
}
