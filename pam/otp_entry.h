// What a person typed at the prompt, checked before anything is sent.
#pragma once

#include <optional>
#include <string_view>

namespace otpcli::pam {

// The longest code the service takes: seven decimal digits.
inline constexpr std::size_t kMaxOtpDigits = 7;

// The value of an entry of one to seven ASCII digits; nullopt for anything
// else (empty, other characters, blanks, more digits).
std::optional<int> parseOtpEntry(std::string_view entry) noexcept;

}  // namespace otpcli::pam
