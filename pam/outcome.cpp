#include "outcome.h"

#include <security/_pam_types.h>
#include <syslog.h>

namespace otpcli::pam {

Verdict verdictFor(std::string_view code) noexcept {
    if (code == "0000") {
        return {PAM_SUCCESS, "success", LOG_INFO, Tell::Nothing};
    }
    // Wrong, missing or expired code: the person may try again.
    if (code == "S103" || code == "S104" || code == "S105") {
        return {PAM_AUTH_ERR, code == "S103" ? "wrong-otp" : "no-valid-otp", LOG_NOTICE,
                Tell::ServiceMessage};
    }
    // Locked after repeated errors: PAM's "do not try again".
    if (code == "S106") {
        return {PAM_MAXTRIES, "locked", LOG_WARNING, Tell::ServiceMessage};
    }
    // Mapped here but not a member of the service.
    if (code == "S101") {
        return {PAM_USER_UNKNOWN, "not-subscribed", LOG_WARNING, Tell::ServiceMessage};
    }
    // The service cannot be reached or the exchange broke off: the one case a
    // stack may choose to let people through with [authinfo_unavail=...].
    if (code == "N001" || code == "N002") {
        return {PAM_AUTHINFO_UNAVAIL, "unreachable", LOG_ERR, Tell::Unreachable};
    }
    // The service turned this site down (unknown site, key that does not open
    // the identity, malformed frame or transaction) or the library refused its
    // arguments (no code: a text of the user map that is not UTF-8; E001: no
    // code page converter): a configuration fault, never a reason to let anyone in.
    if (code == "S201" || code == "S202" || code == "S203" || code == "S204" ||
        code.starts_with("P") || code == "C001" || code == "E001" || code.empty()) {
        return {PAM_SERVICE_ERR, "configuration-refused", LOG_ERR, Tell::Nothing};
    }
    // A reply without a result code.
    if (code == "Z001") {
        return {PAM_SERVICE_ERR, "bad-reply", LOG_ERR, Tell::Nothing};
    }
    if (code == "A001") {
        return {PAM_BUF_ERR, "no-memory", LOG_ERR, Tell::Nothing};
    }
    // Any other refusal of the service (a failed delivery among them).
    return {PAM_AUTH_ERR, "refused", LOG_NOTICE, Tell::ServiceMessage};
}

}  // namespace otpcli::pam
