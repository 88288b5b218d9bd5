// Join, close and the reset of the authentication-error count: requests that
// carry nothing but the subscriber's identity block.
#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/identity.h"
#include "requests/sealed_request.h"

namespace otpcli {
namespace {

// The three requests differ only in their operation. checkNumber is the
// object's resident registration number check.
template <typename CheckNumber>
void runMembershipRequest(const RequestConfig& config, const Operation& op,
                          const unsigned short* userId, int identityForm, CheckNumber checkNumber,
                          Outcome& out) noexcept {
    if (userId == nullptr) {
        return out.set(kNullArgument);
    }
    AnsiText id;
    if (!convertIdentity(id, userId, identityForm == kIdentityFormNumber, checkNumber, out)) {
        return;
    }
    IdentityText identity;
    const WipeOnExit wipeIdentity(identity);
    if (!makeIdentityText(id, identityForm, identity)) {
        return out.set(kBadIdentityText);
    }
    runSealedRequest(
        config, op, bytesOf(identity), [](char*) {}, out);
}

}  // namespace
}  // namespace otpcli

HRESULT OTPCLI::reqJoin(const unsigned short* userId, int identityForm) {
    otpcli::Outcome out;
    otpcli::runMembershipRequest(
        {siteId, keyMaterial, port, connectTimeout}, otpcli::kJoin, userId, identityForm,
        [this](const char* id) { return checkUserId(id); }, out);
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqClose(const unsigned short* userId, int identityForm) {
    otpcli::Outcome out;
    otpcli::runMembershipRequest(
        {siteId, keyMaterial, port, connectTimeout}, otpcli::kClose, userId, identityForm,
        [this](const char* id) { return checkUserId(id); }, out);
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqInitAuthErr(const unsigned short* userId, int identityForm) {
    otpcli::Outcome out;
    otpcli::runMembershipRequest(
        {siteId, keyMaterial, port, connectTimeout}, otpcli::kInitAuthErr, userId, identityForm,
        [this](const char* id) { return checkUserId(id); }, out);
    setError(out.code, out.mesg);
    return out.status;
}
