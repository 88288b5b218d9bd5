// The user map: which identity text each login name authenticates as. One
// "LOGIN IDENTITY [CODE [VALUE]]" per line, fields separated by blanks; blank
// lines and lines starting with '#' are skipped. IDENTITY is the 40-character
// text that `otpcli hash` prints for the person's resident registration
// number, so the number itself is never stored here. CODE and VALUE are the
// texts sent with a delivery request (what they mean, a channel and an
// address for instance, is the service's business); empty when left out.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace otpcli::pam {

inline constexpr std::size_t kIdentityLength = 40;

struct UserEntry {
    UserEntry() = default;
    UserEntry(const UserEntry&) = delete;
    UserEntry& operator=(const UserEntry&) = delete;
    ~UserEntry();

    std::array<char, kIdentityLength + 1> identity{};  // NUL-terminated
    std::string code;
    std::string value;
};

enum class MapLookup { Found, Missing, Malformed };

// Looks the login name up. Only the user's own lines are validated, so that a
// slip in one line locks out nobody else; a user named twice is Malformed.
MapLookup findUser(std::string_view mapText, std::string_view login, UserEntry& entry,
                   std::string& error);

}  // namespace otpcli::pam
