// Small parsing helpers shared by the module's file and argument readers.
#pragma once

#include <optional>
#include <string_view>

namespace otpcli::pam {

// The text without leading and trailing spaces and tabs.
std::string_view trimmed(std::string_view text);

// A decimal number of at most nine digits within [low, high]; nullopt otherwise.
std::optional<int> boundedNumber(std::string_view text, int low, int high);

// Splits off the next line (without its "\n" or "\r\n") from text.
std::string_view nextLine(std::string_view& text);

// Splits off the next field separated by spaces or tabs; empty at the end.
std::string_view nextField(std::string_view& text);

}  // namespace otpcli::pam
