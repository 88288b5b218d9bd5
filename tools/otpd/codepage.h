// Conversion between UTF-8 (command line, configuration, log) and the code
// page 949 bytes that clients put into frames and read from replies.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace otpd {

// Exact conversions; nullopt when the text holds a sequence the source
// encoding does not define or the target cannot represent.
std::optional<std::string> utf8ToCp949(std::string_view utf8);
std::optional<std::string> cp949ToUtf8(std::string_view cp949);

// Frame text for a log line: the UTF-8 form of cp949 when it converts, else
// its ASCII with every other byte written as \xNN. Control bytes are always
// escaped, so the result is one line without tabs.
std::string printable(std::string_view cp949);

}  // namespace otpd
