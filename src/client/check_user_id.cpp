// OTPCLI::checkUserId: the form and check digit of a resident registration number.
#include <cstring>

#include <otpcli/otpcli.h>

namespace {

constexpr std::size_t kIdLength = 13;
constexpr int kWeights[12] = {2, 3, 4, 5, 6, 7, 8, 9, 2, 3, 4, 5};

// A character's value as a digit. Nothing tests it to be one: other bytes count
// with their signed 8-bit value less '0'.
int digitValue(char c) {
    return static_cast<signed char>(c) - '0';
}

}  // namespace

bool OTPCLI::checkUserId(const char* id) {
    if (id == nullptr || strnlen(id, kIdLength + 1) != kIdLength) {
        return false;
    }
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        sum += digitValue(id[i]) * kWeights[i];
    }
    // Both remainders truncate toward zero, so a negative sum keeps its sign.
    const int remainder = sum % 11;
    const int check = (11 - remainder) % 10;
    return digitValue(id[12]) == check;
}
