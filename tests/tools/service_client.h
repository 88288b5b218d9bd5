// The library's client as the end-to-end tests use it against otpd.
#pragma once

#include <string>
#include <string_view>

#include <otpcli/otpcli.h>

#include "support/text.h"

namespace otpcli::test {

// Exposes the error state.
class ServiceClient : public OTPCLI {
  public:
    std::string code() const { return errorCode; }
    std::string mesg() const { return errorMesg; }
    // The identity text of a resident registration number, from hashValue().
    std::string identityText(const std::string& number);
    // The host of the last connection, from getHost().
    std::string host();
};

// A resident registration number: the twelve digits given and their check digit.
std::string residentNumber(std::string_view twelveDigits);

}  // namespace otpcli::test
