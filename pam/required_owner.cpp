// The owner the module's files must have. The installed module demands root.
// The copy built for the tests (never installed) accepts files owned by the
// user it runs as, so that the suite also runs without root; built separately,
// it cannot be switched on in the installed module.
#include <unistd.h>

#include "protected_file.h"

namespace otpcli::pam {

uid_t requiredOwner() noexcept {
#if defined(OTPCLI_PAM_OWNER_IS_EUID)
    return ::geteuid();
#else
    return 0;
#endif
}

}  // namespace otpcli::pam
