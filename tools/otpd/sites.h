// The sites the service knows: identifier and key material, with the key that
// opens their identity blocks derived once.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <string_view>

#include "crypto/seal.h"

namespace otpd {

// Limits of the client's configuration, in code page 949 bytes.
inline constexpr std::size_t kMaxSiteIdBytes = 32;
inline constexpr std::size_t kMaxKeyMaterialBytes = 32;

struct Site {
    std::string id;  // code page 949 bytes, as frames carry it
    otpcli::SealingKey key;
};

class SiteRegistry {
  public:
    // Adds a site from an "ID:KEY" text in UTF-8 (the key may hold colons).
    // False, with a reason in error, for a missing colon, an empty or
    // over-long identifier, an over-long key, text that code page 949 cannot
    // hold, or an identifier already known.
    bool add(std::string_view spec, std::string& error);
    // Adds one site per line; blank lines and lines starting with # are
    // skipped, and a trailing carriage return is ignored. Stops at the first
    // bad line, naming it in error.
    bool addAll(std::istream& lines, std::string& error);
    bool addAll(std::string_view text, std::string& error);

    const Site* find(std::string_view id) const;
    std::size_t size() const { return sites_.size(); }

  private:
    std::map<std::string, Site, std::less<>> sites_;
};

}  // namespace otpd
