// Arbitrary UTF-16 text (the input's bytes in pairs, little-endian, up to the
// first zero unit) converted to code page 949. ASCII passes unchanged, and the
// result, read back and converted again, gives the same bytes. The same text
// as UTF-8 (an unpaired surrogate as U+FFFD, '?' either way) gives the same
// bytes through the C interface's conversion. The input's bytes read as UTF-8
// are refused exactly when they are malformed, and otherwise converted as
// their UTF-16 form is.
#include <cstddef>
#include <cstdint>
#include <string>

#include <otpcli/otpcli.hpp>

#include "codepage_fuzz.h"
#include "utf8_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    const std::string ansi = fuzz::toAnsi(text);
    bool ascii = true;
    for (const char16_t unit : text) {
        ascii = ascii && unit < 0x80;
    }
    if (ascii) {
        FUZZ_CHECK(ansi == std::string(text.begin(), text.end()));
    }
    FUZZ_CHECK(fuzz::toAnsi(fuzz::fromAnsi(ansi)) == ansi);

    std::string viaUtf8;
    FUZZ_CHECK(fuzz::utf8ToAnsi(otpcli::utf16ToUtf8(text), viaUtf8));
    FUZZ_CHECK(viaUtf8 == ansi);

    // A malformed sequence is replaced when decoded, so only well-formed UTF-8
    // comes back from the round trip unchanged.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes = bytes.substr(0, bytes.find('\0'));
    const std::u16string decoded = otpcli::utf8ToUtf16(bytes);
    const bool wellFormed = otpcli::utf16ToUtf8(decoded) == bytes;
    std::string converted;
    FUZZ_CHECK(fuzz::utf8ToAnsi(bytes, converted) == wellFormed);
    if (wellFormed) {
        FUZZ_CHECK(converted == fuzz::toAnsi(decoded));
    }
    return 0;
}
