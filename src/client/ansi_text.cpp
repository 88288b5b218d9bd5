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

}  // namespace otpcli
