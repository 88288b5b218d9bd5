// Birth date and sex carried in a resident registration number.
#pragma once

namespace otpcli {

struct BirthData {
    int birthYear;
    int birthMonth;
    int birthDay;
    char sexLetter;  // 'M' or 'F'
};

// Birth data of a number that checkUserId accepted. False when the seventh
// character names no century and sex.
bool deriveBirthData(const char* id, BirthData& out) noexcept;

}  // namespace otpcli
