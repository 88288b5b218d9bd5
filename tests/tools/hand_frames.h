// Request frames put together by hand, field by field, for sending otpd what
// the library would never send.
#pragma once

#include <string>

namespace otpcli::test {

// The hex identity block of plain sealed under keyMaterial, as a client
// seals it (the library's seal over the SHA-1 digest of the key material).
std::string sealedBlock(const std::string& plain, const std::string& keyMaterial);

// Length field (counting what follows it), the 40-byte identity field, the
// transaction code, the site padded with NUL bytes to 32, then rest.
std::string handFrame(const std::string& transactionCode, const std::string& site,
                      const std::string& rest,
                      const std::string& identityField = std::string(40, ' '));

}  // namespace otpcli::test
