// Arbitrary UTF-16 text (the input's bytes in pairs, little-endian, up to the
// first zero unit) converted to code page 949. ASCII passes unchanged, and the
// result, read back and converted again, gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codepage_fuzz.h"

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
    return 0;
}
