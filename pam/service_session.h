// One attempt's client of the OTP service: a handle of the library's C
// interface configured from the settings and the key, and the two requests the
// module makes. Texts go to the library as the UTF-8 they are in the files.
#pragma once

#include <otpcli/otpcli_c.h>

#include <string>

#include "settings.h"
#include "user_map.h"

namespace otpcli::pam {

// The result code and message (UTF-8) of a request.
struct Outcome {
    std::string code;
    std::string message;
};

class ServiceSession {
  public:
    explicit ServiceSession(const Settings& settings);
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;
    // Releases the handle, which wipes the key material it holds.
    ~ServiceSession();

    // Configures the handle with the NUL-terminated UTF-8 key; false when the
    // library refuses the site identifier or the key (not UTF-8, over 32 bytes)
    // or no handle could be had.
    bool configure(const char* key);

    // reqReissue and reqAuth with identity form 1. When no connection could be
    // made to the first server (nothing was sent), the request is made once more
    // with the servers swapped, so a backup serves even in a host process that
    // lives for one login. The result code and message of the last try.
    Outcome deliver(const UserEntry& user);
    Outcome check(const UserEntry& user, int otp);

  private:
    template <typename Request>
    Outcome withFailover(Request request);
    Outcome lastOutcome() const;

    const Settings& settings_;
    otpcli_client* client_ = nullptr;
};

}  // namespace otpcli::pam
