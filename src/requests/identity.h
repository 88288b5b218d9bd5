// The identity text that stands for a subscriber, from an identity argument
// and its identity form.
#pragma once

#include <array>
#include <span>

#include "client/ansi_text.h"

namespace otpcli {

// The identity argument is the 40-character identity text itself.
inline constexpr int kIdentityFormText = 1;
inline constexpr int kIdentityFormNumber = 0;

using IdentityText = std::array<char, 40>;

inline std::span<const unsigned char> bytesOf(std::span<const char> text) noexcept {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// The lower-case hex SHA-1 digest of text into out (40 bytes).
void hashIdentity(const AnsiText& text, std::span<char, 40> out) noexcept;

// The identity text of userId under identityForm into out: the argument itself
// for the text form (false unless it is exactly 40 bytes), else its digest.
bool makeIdentityText(const AnsiText& userId, int identityForm, std::span<char, 40> out) noexcept;

}  // namespace otpcli
