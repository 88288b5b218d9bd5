#include <gtest/gtest.h>

#include <string>

#include <otpcli/otpcli.h>

#include "requests/birth_data.h"

namespace {

using otpcli::BirthData;

// Exposes the protected number check.
class IdCheck : public OTPCLI {
  public:
    using OTPCLI::checkUserId;
};

// The check digit: sum (c - '0') x weight over characters 0 to 11 with the
// weights 2 3 4 5 6 7 8 9 2 3 4 5, c taken as a signed byte; r = sum % 11 and
// check = (11 - r) % 10, both truncating. For "991231" the sum starts at
// 9x2 + 9x3 + 1x4 + 2x5 + 3x6 + 1x7 = 84, and character 6 adds 8 times its digit.
struct Case {
    const char* id;
    bool valid;
    bool hasBirthData;  // meaningful for valid numbers only
    BirthData birth;
};

const Case kCases[] = {
    // Wrong lengths.
    {nullptr, false, false, {}},
    {"", false, false, {}},
    {"991231100000", false, false, {}},    // 12 characters
    {"99123110000077", false, false, {}},  // 14 characters
    // Remainder 0 (84 + 8x6 = 132 = 12x11): only check digit 1 fits.
    {"9912316000001", true, false, {}},
    {"9912316000000", false, false, {}},
    {"0000000000001", true, true, {1800, 0, 0, 'F'}},
    {"0000000000000", false, false, {}},
    // Remainder 1 (84 + 8x2 = 100 = 9x11 + 1): only check digit 0 fits.
    {"9912312000000", true, true, {1999, 12, 31, 'F'}},
    {"9912312000001", false, false, {}},
    // Remainder 10: 0x2 + 0x3 + 1x4 + 3x5 + 0x6 + 1x7 + 3x8 + 0x9 + 2x2 = 54 =
    // 4x11 + 10, so check digit (11 - 10) % 10 = 1.
    {"0013013020001", true, true, {2000, 13, 1, 'M'}},
    {"0013013020000", false, false, {}},
    // Seventh characters '0' to '9' after "991231", each with its check digit:
    // sums 84, 92, ..., 156, remainders 7 4 1 9 6 3 0 8 5 2.
    {"9912310000004", true, true, {1899, 12, 31, 'F'}},
    {"9912311000007", true, true, {1999, 12, 31, 'M'}},
    {"9912313000002", true, true, {2099, 12, 31, 'M'}},
    {"9912314000005", true, true, {2099, 12, 31, 'F'}},
    {"9912315000008", true, false, {}},
    {"9912317000003", true, false, {}},
    {"9912318000006", true, false, {}},
    {"9912319000009", true, true, {1899, 12, 31, 'M'}},
    {"9912319000008", false, false, {}},
    // Birth data as written, no range checks: 050101 is 2005-01-01 and 001301
    // month 13 (sums 59 and 50, remainders 4 and 6).
    {"0501014000007", true, true, {2005, 1, 1, 'F'}},
    {"0013013000005", true, true, {2000, 13, 1, 'M'}},
    // Characters that are not digits count as their value less 48. 'A' at
    // character 7 adds 17x9 = 153: 84 + 8 + 153 = 245 = 22x11 + 3, check 8.
    {"9912311A00008", true, true, {1999, 12, 31, 'M'}},
    {"9912311A00007", false, false, {}},
    // Twelve spaces: -16 x (2+3+...+9 + 2+3+4+5) = -16 x 58 = -928 =
    // -84x11 - 4, so r = -4 and check (11 + 4) % 10 = 5.
    {"            5", true, false, {}},
    {"            6", false, false, {}},
    // A byte of 0xB0 is -80 as a signed byte: (-80 - 48) x 2 = -256 =
    // -23x11 - 3, so check (11 + 3) % 10 = 4.
    // clang-format off
    {"\xb0" "00000000000" "4", true, true, {1800, 0, 0, 'F'}},  // atoi stops at once
    {"\xb0" "00000000000" "3", false, false, {}},
    // clang-format on
};

TEST(UserId, CheckAndBirthData) {
    IdCheck client;
    for (const Case& c : kCases) {
        const std::string name = c.id == nullptr ? "null" : c.id;
        EXPECT_EQ(client.checkUserId(c.id), c.valid) << name;
        if (!c.valid) {
            continue;
        }
        BirthData birth{-1, -1, -1, '?'};
        EXPECT_EQ(otpcli::deriveBirthData(c.id, birth), c.hasBirthData) << name;
        if (c.hasBirthData) {
            EXPECT_EQ(birth.birthYear, c.birth.birthYear) << name;
            EXPECT_EQ(birth.birthMonth, c.birth.birthMonth) << name;
            EXPECT_EQ(birth.birthDay, c.birth.birthDay) << name;
            EXPECT_EQ(birth.sexLetter, c.birth.sexLetter) << name;
        }
    }
}

}  // namespace
