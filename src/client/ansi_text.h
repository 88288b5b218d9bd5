// A UTF-16 or UTF-8 argument converted to code page 949 for the length of one call.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "client/allocation.h"

namespace otpcli {

class AnsiText {
  public:
    AnsiText() { inline_[0] = '\0'; }
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;

    // Converts text (not null) into a buffer of 2n + 2 bytes: the inline room
    // when it fits, else heap memory. False when that memory cannot be had; the
    // text is then empty.
    bool assign(const unsigned short* text) noexcept;

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
    static constexpr int kInlineUnits = 128;

  private:
    // Not zeroed: assign() writes the text and its terminator before any read.
    std::array<char, 2 * kInlineUnits + 2> inline_;
    ByteBuffer heap_;
    char* data_ = inline_.data();
    std::size_t size_ = 0;
};

}  // namespace otpcli
