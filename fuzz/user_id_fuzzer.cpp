// Arbitrary text as a resident registration number: the number check and the
// birth data read from it. The text sits in a buffer of exactly its length and
// terminator, so that reading past the terminator is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <otpcli/otpcli.h>

#include "fuzz_check.h"
#include "requests/birth_data.h"

namespace {

class Checker : public OTPCLI {
  public:
    using OTPCLI::checkUserId;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool accepts(Checker& checker, std::string text) {
    std::vector<char> exact(text.begin(), text.end());
    exact.push_back('\0');
    return checker.checkUserId(exact.data());
}

void checkNumberCheck(Checker& checker, const std::string& text) {
    const bool accepted = accepts(checker, text);
    if (text.size() != 13) {
        FUZZ_CHECK(!accepted);
        return;
    }
    // The check digit is a function of the first twelve characters, always one
    // of the ten digits, whatever those characters are.
    int fitting = 0;
    std::string variant = text;
    for (char last = '0'; last <= '9'; ++last) {
        variant[12] = last;
        fitting += accepts(checker, variant) ? 1 : 0;
    }
    FUZZ_CHECK(fitting == 1);
    if (accepted) {
        FUZZ_CHECK(isDigit(text[12]));
    }
}

void checkBirthData(const std::string& text) {
    std::vector<char> exact(text.begin(), text.end());
    exact.push_back('\0');
    otpcli::BirthData birth{};
    const bool derived = otpcli::deriveBirthData(exact.data(), birth);
    const char* marks = "123490";
    const bool marked = text.size() >= 7 && text[6] != '\0' && std::strchr(marks, text[6]);
    FUZZ_CHECK(derived == marked);
    if (!derived) {
        return;
    }
    const int base = text[6] == '9' || text[6] == '0' ? 1800 : text[6] <= '2' ? 1900 : 2000;
    FUZZ_CHECK(birth.sexLetter == (text[6] == '2' || text[6] == '4' || text[6] == '0' ? 'F' : 'M'));
    bool sixDigits = true;
    for (int i = 0; i < 6; ++i) {
        sixDigits = sixDigits && isDigit(text[i]);
    }
    if (sixDigits) {
        FUZZ_CHECK(birth.birthYear == base + std::stoi(text.substr(0, 2)));
        FUZZ_CHECK(birth.birthMonth == std::stoi(text.substr(2, 2)));
        FUZZ_CHECK(birth.birthDay == std::stoi(text.substr(4, 2)));
    } else {
        // Whatever atoi makes of six characters lies within +-99999.
        FUZZ_CHECK(birth.birthYear >= base - 9 && birth.birthYear <= base + 99);
        FUZZ_CHECK(birth.birthMonth >= -99 && birth.birthMonth <= 99);
        FUZZ_CHECK(birth.birthDay >= -99 && birth.birthDay <= 99);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text up to the first NUL, as a caller's converted argument ends there.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    Checker checker;
    checkNumberCheck(checker, text);
    checkBirthData(text);
    return 0;
}
