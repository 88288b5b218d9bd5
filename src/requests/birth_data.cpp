#include "requests/birth_data.h"

#include <cstdlib>
#include <cstring>

#include "crypto/wipe.h"

namespace otpcli {
namespace {

// The seventh character of the number names the century and the sex.
struct CenturyMark {
    char mark;
    int centuryBase;
    char sexLetter;
};

constexpr CenturyMark kCenturyMarks[] = {
    {'1', 1900, 'M'}, {'2', 1900, 'F'}, {'3', 2000, 'M'},
    {'4', 2000, 'F'}, {'9', 1800, 'M'}, {'0', 1800, 'F'},
};

}  // namespace

bool deriveBirthData(const char* id, BirthData& out) noexcept {
    if (id == nullptr || strnlen(id, 7) < 7) {
        return false;
    }
    for (const CenturyMark& century : kCenturyMarks) {
        if (id[6] != century.mark) {
            continue;
        }
        // The date is read as atoi reads it and split without range checks.
        char date[7] = {};
        std::memcpy(date, id, 6);
        const int value = std::atoi(date);
        wipeInline(date, sizeof date);
        out.birthYear = century.centuryBase + value / 10000;
        out.birthMonth = value / 100 % 100;
        out.birthDay = value % 100;
        out.sexLetter = century.sexLetter;
        return true;
    }
    return false;
}

}  // namespace otpcli
