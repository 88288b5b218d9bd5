#include "otp_entry.h"

namespace otpcli::pam {

std::optional<int> parseOtpEntry(std::string_view entry) noexcept {
    if (entry.empty() || entry.size() > kMaxOtpDigits) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : entry) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace otpcli::pam
