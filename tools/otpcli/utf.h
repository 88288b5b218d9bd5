// UTF-8 on the command line and the terminal, UTF-16 at the library.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace otpcli_tool {

// Strict decoding: nullopt for malformed UTF-8, overlong forms, surrogates and
// code points above U+10FFFF.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);

// An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

}  // namespace otpcli_tool
