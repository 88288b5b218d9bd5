// One attempt's client of the OTP service: the library's object configured
// from the settings and the key, and the two requests the module makes.
#pragma once

#include <otpcli/otpcli.hpp>

#include <span>
#include <string>

#include "settings.h"
#include "user_map.h"

namespace otpcli::pam {

class ServiceSession {
  public:
    explicit ServiceSession(const Settings& settings) : settings_(settings) {}
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;
    // Overwrites the key material kept in the library's object.
    ~ServiceSession();

    // Configures the object with the NUL-terminated UTF-16 key; false when the
    // library refuses the site identifier or the key (over 32 bytes).
    bool configure(std::span<const char16_t> key);

    // reqReissue and reqAuth with identity form 1. When no connection could be
    // made to the first server (nothing was sent), the request is made once more
    // with the servers swapped, so a backup serves even in a host process that
    // lives for one login. The result code and message of the last try.
    Outcome deliver(const UserEntry& user);
    Outcome check(const UserEntry& user, int otp);

  private:
    template <typename Request>
    Outcome withFailover(Request request);

    const Settings& settings_;
    OTPCLI client_;
    Text site_{settings_.site};
};

}  // namespace otpcli::pam
