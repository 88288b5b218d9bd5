// Opening the identity block of a sealed request: the plain text that the
// client sealed under its site's key material.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crypto/seal.h"

namespace otpd {

// The key a client derives from the site's key material: the SHA-1 digest of
// the text, hashed on five more times by the sealing key derivation.
otpcli::SealingKey siteSealingKey(std::string_view keyMaterial) noexcept;

// The plain text of a block of hex characters (either case); nullopt when it
// is not hex or does not decrypt to correctly padded text.
std::optional<std::string> openIdentityBlock(const otpcli::SealingKey& key, std::string_view hex);

}  // namespace otpd
