// A client configured against a recording service, and the expected parts of
// request frames computed independently of the library's frame code.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "requests/recording_service.h"
#include "support/text.h"

namespace otpcli::test {

// Exposes the error state and the protected operations.
class Client : public OTPCLI {
  public:
    std::string code() const { return errorCode; }
    std::string mesg() const { return errorMesg; }
};

inline constexpr char kSite[] = "SITE01";
inline constexpr char kKey[] = "site key material";

// Lower-case hex SHA-1 of bytes (OpenSSL).
std::string sha1Hex(const std::string& bytes);
// The hex identity block of a plain text sealed under key material.
std::string identityBlock(const std::string& plain, const std::string& keyMaterial);
// Bytes 0 to 83 of a frame: length field, identity text field, transaction
// code and the site identifier padded with NUL bytes.
std::string frameHead(const std::string& lengthField, const std::string& identityField,
                      const std::string& transactionCode, const std::string& site);

class RequestTest : public ::testing::Test {
  protected:
    void SetUp() override;

    RecordingService service;
    Client client;
};

}  // namespace otpcli::test
