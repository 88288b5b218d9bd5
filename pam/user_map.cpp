#include "user_map.h"

#include "secret.h"
#include "text_fields.h"

namespace otpcli::pam {
namespace {

bool isIdentityText(std::string_view text) {
    if (text.size() != kIdentityLength) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

UserEntry::~UserEntry() {
    wipe(identity.data(), sizeof identity);
}

MapLookup findUser(std::string_view mapText, std::string_view login, UserEntry& entry,
                   std::string& error) {
    if (login.empty()) {
        return MapLookup::Missing;
    }
    bool found = false;
    int number = 0;
    while (!mapText.empty()) {
        ++number;
        std::string_view line = nextLine(mapText);
        const std::string_view name = nextField(line);
        if (name.empty() || name.front() == '#' || name != login) {
            continue;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        if (found) {
            error = where + "the user is named a second time";
            return MapLookup::Malformed;
        }
        const std::string_view identity = nextField(line);
        const std::string_view code = nextField(line);
        const std::string_view value = nextField(line);
        if (!isIdentityText(identity)) {
            error = where + "the identity is not 40 lower-case hex digits";
            return MapLookup::Malformed;
        }
        if (!nextField(line).empty() || code.size() > 32 || value.size() > 64) {
            error = where + "too many or too long fields";
            return MapLookup::Malformed;
        }
        identity.copy(entry.identity.data(), kIdentityLength);
        entry.identity[kIdentityLength] = '\0';
        entry.code = code;
        entry.value = value;
        found = true;
    }
    return found ? MapLookup::Found : MapLookup::Missing;
}

}  // namespace otpcli::pam
