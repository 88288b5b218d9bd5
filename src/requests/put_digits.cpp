#include "requests/put_digits.h"

namespace otpcli {

void putDigits(int value, int width, char* buffer, int offset) noexcept {
    for (int i = width - 1; i >= 0; --i) {
        buffer[offset + i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

}  // namespace otpcli
