#include "tools/service_client.h"

namespace otpcli::test {
namespace {

std::string narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string ServiceClient::identityText(const std::string& number) {
    BSTR hash = nullptr;
    hashValue(w(utf16(number)), &hash);
    return narrow(take(hash));
}

std::string ServiceClient::host() {
    BSTR name = nullptr;
    getHost(&name);
    return narrow(take(name));
}

std::string residentNumber(std::string_view twelveDigits) {
    static constexpr int kWeights[12] = {2, 3, 4, 5, 6, 7, 8, 9, 2, 3, 4, 5};
    int sum = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        sum += (twelveDigits[i] - '0') * kWeights[i];
    }
    const int check = (11 - sum % 11) % 10;
    return std::string(twelveDigits) + static_cast<char>('0' + check);
}

}  // namespace otpcli::test
