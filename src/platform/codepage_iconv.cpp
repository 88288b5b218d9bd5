#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "crypto/wipe.h"
#include "platform/codepage.h"
#include "platform/utf8_to_ansi.h"

namespace otpcli::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The test seams (codepage.h).
thread_local bool converterWithheld = false;
thread_local std::size_t fakeLength = 0;

// One iconv descriptor per thread and direction, opened on first use: a
// descriptor carries conversion state and must not be shared between threads.
class Converter {
  public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in to out; the number of output bytes, or -1 when the input is
    // not convertible as a whole.
    int convert(const char* in, std::size_t inLen, char* out, std::size_t outLen) {
        if (!valid()) {
            return -1;
        }
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        char* dst = out;
        std::size_t left = outLen;
        if (iconv(handle_, &src, &inLen, &dst, &left) == static_cast<std::size_t>(-1) ||
            inLen != 0) {
            return -1;
        }
        return static_cast<int>(outLen - left);
    }

  private:
    iconv_t handle_;
};

Converter& toAnsi() {
    thread_local Converter converter("CP949", "UTF-32LE");
    return converter;
}

Converter& fromAnsi() {
    thread_local Converter converter("UTF-16LE", "CP949");
    return converter;
}

// Writes the code page 949 bytes of one code point; returns how many (1 or 2).
// The converter is there (the caller asked ansiConverterAvailable()).
int encodeCodePoint(std::uint32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    std::array<char, 4> utf32{static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
                              static_cast<char>((cp >> 16) & 0xFF), 0};
    char bytes[4];
    const int n = toAnsi().convert(utf32.data(), utf32.size(), bytes, sizeof bytes);
    if (n < 1 || n > 2) {
        out[0] = '?';
    } else {
        std::memcpy(out, bytes, static_cast<std::size_t>(n));
    }
    // The character may be part of key material: no copy stays on the stack.
    wipeInline(utf32.data(), utf32.size());
    wipeInline(bytes, sizeof bytes);
    return n < 1 || n > 2 ? 1 : n;
}

// Decodes one character of code page 949 text at text[0]; stores it in *unit
// and returns the number of bytes it takes. text[0] is not NUL.
std::size_t decodeOne(const unsigned char* text, char16_t* unit) {
    const unsigned char lead = text[0];
    if (lead < 0x80) {
        *unit = lead;
        return 1;
    }
    const unsigned char trail = text[1];  // the terminator at worst
    if (lead == 0x80 || lead == 0xFF || trail == 0) {
        *unit = kReplacement;
        return 1;
    }
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char out[4];
    if (fromAnsi().convert(in, 2, reinterpret_cast<char*>(out), sizeof out) == 2) {
        *unit = static_cast<char16_t>(out[0] | (out[1] << 8));
        return 2;
    }
    *unit = kReplacement;
    // An ASCII byte after a bad lead byte is a character of its own.
    return trail < 0x80 ? 1 : 2;
}

}  // namespace

std::size_t wideLength(const unsigned short* text) noexcept {
    if (text == nullptr) {
        return 0;
    }
    if (fakeLength > 0) {
        return fakeLength;
    }
    std::size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

bool ansiConverterAvailable() noexcept {
    return !converterWithheld && toAnsi().valid();
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
    // ASCII is the same in code page 949: copied a unit to a byte, without the
    // per-character path and without the converter.
    std::size_t i = 0;
    while (i < n && text[i] < 0x80) {
        out[i] = static_cast<char>(text[i]);
        ++i;
    }
    if (i < n && !ansiConverterAvailable()) {
        // Without the converter the rest cannot be converted: an empty text,
        // and nothing of the part copied so far.
        std::memset(out, 0, i);
        return false;
    }
    std::size_t pos = i;
    for (; i < n; ++i) {
        const std::uint32_t unit = text[i];
        std::uint32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out[pos++] = '?';
            continue;
        }
        pos += static_cast<std::size_t>(encodeCodePoint(cp, out + pos));
    }
    out[pos] = '\0';
    return true;
}

BSTR newStringFromAnsi(const char* ansi) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(ansi != nullptr ? ansi : "");
    // A leading ASCII run is one unit per byte; only what follows it is decoded
    // character by character.
    std::size_t ascii = 0;
    while (bytes[ascii] != 0 && bytes[ascii] < 0x80) {
        ++ascii;
    }
    auto units = static_cast<unsigned int>(ascii);
    char16_t unit = 0;
    for (std::size_t i = ascii; bytes[i] != 0; i += decodeOne(bytes + i, &unit)) {
        ++units;
    }
    BSTR result = SysAllocStringLen(nullptr, units);
    if (result == nullptr) {
        return nullptr;
    }
    for (std::size_t k = 0; k < ascii; ++k) {
        result[k] = bytes[k];
    }
    std::size_t i = ascii;
    for (auto k = static_cast<unsigned int>(ascii); k < units; ++k) {
        i += decodeOne(bytes + i, &unit);
        result[k] = static_cast<unsigned short>(unit);
    }
    return result;
}

Utf8Conversion utf8ToAnsi(const char* text, std::size_t n, char* out,
                          std::size_t outSize) noexcept {
    // Each character takes at least as many bytes of UTF-8 as of code page 949
    // (at most two, or the one '?'), so out never runs ahead of the input.
    return convertUtf8(text, n, out, outSize,
                       [](char32_t cp, char* at, std::size_t) { return encodeCodePoint(cp, at); });
}

void ansiToUtf8(const char* ansi, char* out, std::size_t outSize) noexcept {
    if (out == nullptr || outSize == 0) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(ansi != nullptr ? ansi : "");
    std::size_t pos = 0;
    char16_t unit = 0;
    for (std::size_t i = 0; bytes[i] != 0 && i < kMaxAnsiToUtf8;) {
        i += decodeOne(bytes + i, &unit);
        // Code page 949 has no character beyond the first plane: one unit each,
        // never a surrogate (written as U+FFFD if the converter gave one).
        const char32_t cp = unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit;
        char utf8[4];
        const auto n = static_cast<std::size_t>(encodeUtf8(cp, utf8));
        if (pos + n >= outSize) {
            break;
        }
        std::memcpy(out + pos, utf8, n);
        pos += n;
    }
    out[pos] = '\0';
}

void setAnsiConverterUnavailable(bool unavailable) noexcept {
    converterWithheld = unavailable;
}

void setFakeWideLength(std::size_t units) noexcept {
    fakeLength = units;
}

}  // namespace otpcli::platform
