// The identity text of any string, as hashValue hands it out.
#pragma once

#include <string_view>

#include "crypto/sha1.h"

namespace otpcli {

// The SHA-1 digest of bytes of any length into digest (20 bytes).
void digestText(std::string_view bytes, unsigned char* digest) noexcept;

}  // namespace otpcli
