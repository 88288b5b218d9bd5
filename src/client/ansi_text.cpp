#include "client/ansi_text.h"

#include <cstring>

#include "crypto/wipe.h"
#include "platform/codepage.h"

namespace otpcli {

void AnsiText::clear() noexcept {
    // The conversion writes nothing past the terminator, and a failed one
    // leaves nothing of the text: the text and its terminator are all there is
    // to wipe. Heap memory is wiped as a whole when it is released.
    if (heap_) {
        heap_.reset();
    } else {
        wipeInline(inline_.data(), size_ + 1);
    }
    data_ = inline_.data();
    data_[0] = '\0';
    size_ = 0;
}

Conversion AnsiText::assign(const unsigned short* text) noexcept {
    clear();
    const std::size_t n = platform::wideLength(text);
    if (n > platform::kMaxWideUnits) {
        return Conversion::tooLong;
    }
    std::size_t room = 2 * n + 2;
    if (n > kInlineUnits) {
        heap_ = allocateBytes(room);
        if (!heap_) {
            return Conversion::noMemory;
        }
        data_ = reinterpret_cast<char*>(heap_.get());
    } else {
        room = inline_.size();
    }
    if (!platform::wideToAnsi(text, n, data_, room)) {
        clear();
        return Conversion::failed;
    }
    size_ = std::strlen(data_);
    return Conversion::done;
}

AnsiText::Utf8Status AnsiText::assignUtf8(const char* text) noexcept {
    clear();
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
    const platform::Utf8Conversion result = platform::utf8ToAnsi(text, n, data_, room);
    if (result == platform::Utf8Conversion::converted) {
        size_ = std::strlen(data_);
        return Utf8Status::converted;
    }
    // A refused text may have left its first characters in the buffer.
    if (!heap_) {
        wipeInline(data_, room);
    }
    clear();
    return result == platform::Utf8Conversion::malformed ? Utf8Status::malformed
                                                         : Utf8Status::unavailable;
}

}  // namespace otpcli
