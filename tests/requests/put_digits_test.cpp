#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "requests/put_digits.h"

namespace {

TEST(PutDigits, Cases) {
    struct Case {
        int value;
        int width;
        std::string want;
    };
    const Case cases[] = {
        {198, 5, "00198"},
        {0, 7, "0000000"},
        {12345, 7, "0012345"},
        {9999999, 7, "9999999"},
        {12, 1, "2"},
        {123456, 3, "456"},
        {5, 0, ""},
        {5, -2, ""},
        // Negative values: '0' plus each truncated remainder.
        {-1, 3, "00/"},
        {-12, 2, "/."},
    };
    for (const Case& c : cases) {
        std::string buffer(12, '#');
        otpcli::putDigits(c.value, c.width, buffer.data(), 1);
        EXPECT_EQ(buffer.substr(1, c.want.size()), c.want) << c.value << "/" << c.width;
        // Nothing outside the field is written.
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(buffer[1 + static_cast<std::size_t>(std::max(c.width, 0))], '#');
    }
}

TEST(PutDigits, MostNegativeValue) {
    std::string buffer(10, '#');
    otpcli::putDigits(INT_MIN, 10, buffer.data(), 0);
    const std::string magnitude = "2147483648";
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(buffer[i], '0' - (magnitude[i] - '0')) << i;
    }
}

}  // namespace
