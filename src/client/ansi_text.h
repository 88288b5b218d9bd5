// A UTF-16 or UTF-8 argument converted to code page 949 for the length of one call.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include <otpcli/otpcli.h>

#include "client/allocation.h"

namespace otpcli {

// How a conversion ended.
enum class Conversion {
    done,
    // Longer than a conversion takes (platform::kMaxWideUnits).
    tooLong,
    // The memory for the converted text cannot be had.
    noMemory,
    // The text needs the code page 949 converter and this system has none, or
    // the system's conversion failed.
    failed,
};

// The status of an operation that converts a text and has no error state:
// S_OK when done, E_INVALIDARG for a text too long, else E_FAIL.
inline HRESULT statusOf(Conversion conversion) noexcept {
    switch (conversion) {
        case Conversion::done:
            return S_OK;
        case Conversion::tooLong:
            return E_INVALIDARG;
        case Conversion::noMemory:
        case Conversion::failed:
            break;
    }
    return E_FAIL;
}

// The converted text lives in the inline room or in heap memory; either is
// wiped when the object ends or takes another text, since the text may be a
// resident registration number, an identity text or key material.
class AnsiText {
  public:
    AnsiText() { inline_[0] = '\0'; }
    ~AnsiText() { clear(); }
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;

    // Converts text (not null) into a buffer of 2n + 2 bytes: the inline room
    // when it fits, else heap memory. Unless done, the text is then empty.
    Conversion assign(const unsigned short* text) noexcept;

    // What assignUtf8 made of its text.
    enum class Utf8Status { converted, noMemory, malformed, unavailable };
    // Converts NUL-terminated UTF-8 text (not null) into a buffer of n + 1
    // bytes, n its length in bytes: the inline room when it fits, else heap
    // memory. Anything but converted leaves the text empty.
    Utf8Status assignUtf8(const char* text) noexcept;

    const char* c_str() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    std::string_view view() const noexcept { return {data_, size_}; }

    // Units that the inline room holds without heap memory.
    static constexpr std::size_t kInlineUnits = 128;

  private:
    // Wipes the text and releases its heap memory; the text is then empty.
    void clear() noexcept;

    // Not zeroed: assign() writes the text and its terminator before any read.
    std::array<char, 2 * kInlineUnits + 2> inline_;
    ByteBuffer heap_;
    char* data_ = inline_.data();
    std::size_t size_ = 0;
};

}  // namespace otpcli
