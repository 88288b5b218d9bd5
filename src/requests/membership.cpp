// Join, close and the reset of the authentication-error count: requests that
// carry nothing but the subscriber's identity block.
#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/identity.h"
#include "requests/requests.h"
#include "requests/sealed_request.h"

namespace otpcli {
namespace {

// The three requests differ only in their operation.
void runMembershipRequest(const RequestContext& context, const Operation& op, TextArgument userId,
                          int identityForm, Outcome& out) noexcept {
    if (userId.isNull()) {
        return out.set(kNullArgument);
    }
    AnsiText id;
    if (!convertIdentity(id, userId, identityForm == kIdentityFormNumber, context.checkNumber,
                         out)) {
        return;
    }
    IdentityText identity;
    const WipeOnExit wipeIdentity(identity);
    if (!makeIdentityText(id, identityForm, identity)) {
        return out.set(kBadIdentityText);
    }
    runSealedRequest(
        context.config, op, bytesOf(identity), [](char*) {}, out);
}

}  // namespace

void requestJoin(const RequestContext& context, TextArgument userId, int identityForm,
                 Outcome& out) noexcept {
    runMembershipRequest(context, kJoin, userId, identityForm, out);
}

void requestClose(const RequestContext& context, TextArgument userId, int identityForm,
                  Outcome& out) noexcept {
    runMembershipRequest(context, kClose, userId, identityForm, out);
}

void requestInitAuthErr(const RequestContext& context, TextArgument userId, int identityForm,
                        Outcome& out) noexcept {
    runMembershipRequest(context, kInitAuthErr, userId, identityForm, out);
}

}  // namespace otpcli

HRESULT OTPCLI::reqJoin(const unsigned short* userId, int identityForm) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestJoin({{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)},
                        userId, identityForm, out);
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqClose(const unsigned short* userId, int identityForm) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestClose({{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)},
                         userId, identityForm, out);
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqInitAuthErr(const unsigned short* userId, int identityForm) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestInitAuthErr(
        {{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)}, userId,
        identityForm, out);
    setError(out.code, out.mesg);
    return out.status;
}
