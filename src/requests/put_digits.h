// Fixed-width decimal fields of request frames.
#pragma once

namespace otpcli {

// Writes value as exactly width decimal digits at buffer[offset], most
// significant first, zero-filled; higher digits are dropped. Nothing for a width
// of 0 or less, no terminator. A negative value gives '0' plus each truncated
// remainder, so characters below '0' appear.
void putDigits(int value, int width, char* buffer, int offset) noexcept;

}  // namespace otpcli
