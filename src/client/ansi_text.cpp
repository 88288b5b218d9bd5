#include "client/ansi_text.h"

#include <cstring>

#include "platform/codepage.h"

namespace otpcli {

bool AnsiText::assign(const unsigned short* text) noexcept {
    heap_.reset();
    data_ = inline_.data();
    data_[0] = '\0';
    size_ = 0;
    const int n = platform::wideLength(text);
    std::size_t room = 2 * static_cast<std::size_t>(n) + 2;
    if (n > kInlineUnits) {
        heap_ = allocateBytes(room);
        if (!heap_) {
            return false;
        }
        data_ = reinterpret_cast<char*>(heap_.get());
    } else {
        room = inline_.size();
    }
    platform::wideToAnsi(text, n, data_, room);
    size_ = std::strlen(data_);
    return true;
}

AnsiText::Utf8Status AnsiText::assignUtf8(const char* text) noexcept {
    heap_.reset();
    data_ = inline_.data();
    data_[0] = '\0';
    size_ = 0;
    const std::size_t n = std::strlen(text);
    std::size_t room = n + 1;
    if (room > inline_.size()) {
        heap_ = allocateBytes(room);
        if (!heap_) {
            return Utf8Status::noMemory;
        }
        data_ = reinterpret_cast<char*>(heap_.get());
    } else {
        room = inline_.size();
    }
    switch (platform::utf8ToAnsi(text, n, data_, room)) {
        case platform::Utf8Conversion::converted:
            size_ = std::strlen(data_);
            return Utf8Status::converted;
        case platform::Utf8Conversion::malformed:
            return Utf8Status::malformed;
        case platform::Utf8Conversion::unavailable:
            break;
    }
    return Utf8Status::unavailable;
}

}  // namespace otpcli
