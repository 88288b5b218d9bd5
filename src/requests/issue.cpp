// Issue and reissue of an OTP.
#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/birth_data.h"
#include "requests/identity.h"
#include "requests/put_digits.h"
#include "requests/requests.h"
#include "requests/sealed_request.h"

namespace otpcli {
namespace {

constexpr int kBirthDataOffset = kOwnFieldsOffset;
constexpr int kIssuePairOffset = kBirthDataOffset + 9;
constexpr int kReissuePairOffset = kOwnFieldsOffset;

}  // namespace

void requestIssue(const RequestContext& context, TextArgument userId, TextArgument codeText,
                  TextArgument valueText, Outcome& out) noexcept {
    if (userId.isNull() || codeText.isNull() || valueText.isNull()) {
        return out.set(kNullArgument);
    }
    AnsiText id;
    AnsiText code;
    AnsiText value;
    if (!convertIdentity(id, userId, true, context.checkNumber, out) ||
        !convertCodeAndValue(code, value, codeText, valueText, out)) {
        return;
    }
    BirthData birth{};
    const WipeOnExit wipeBirth(birth);
    if (!deriveBirthData(id.c_str(), birth)) {
        return out.set(kBadBirthCode);
    }
    IdentityText identity;
    const WipeOnExit wipeIdentity(identity);
    hashIdentity(id, identity);
    runSealedRequest(
        context.config, kIssue, bytesOf(identity),
        [&](char* frame) {
            putDigits(birth.birthYear, 4, frame, kBirthDataOffset);
            putDigits(birth.birthMonth, 2, frame, kBirthDataOffset + 4);
            putDigits(birth.birthDay, 2, frame, kBirthDataOffset + 6);
            frame[kBirthDataOffset + 8] = birth.sexLetter;
            writeCodeValuePair(frame, kIssuePairOffset, code.view(), value.view());
        },
        out);
}

void requestReissue(const RequestContext& context, TextArgument userId, int identityForm,
                    TextArgument codeText, TextArgument valueText, Outcome& out) noexcept {
    if (userId.isNull() || codeText.isNull() || valueText.isNull()) {
        return out.set(kNullArgument);
    }
    AnsiText id;
    AnsiText code;
    AnsiText value;
    if (!convertIdentity(id, userId, identityForm == kIdentityFormNumber, context.checkNumber,
                         out) ||
        !convertCodeAndValue(code, value, codeText, valueText, out)) {
        return;
    }
    IdentityText identity;
    const WipeOnExit wipeIdentity(identity);
    if (!makeIdentityText(id, identityForm, identity)) {
        return out.set(kBadIdentityText);
    }
    runSealedRequest(
        context.config, kReissue, bytesOf(identity),
        [&](char* frame) {
            writeCodeValuePair(frame, kReissuePairOffset, code.view(), value.view());
        },
        out);
}

}  // namespace otpcli

HRESULT OTPCLI::reqIssue(const unsigned short* userId, const unsigned short* codeText,
                         const unsigned short* valueText) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestIssue({{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)},
                         userId, codeText, valueText, out);
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqReissue(const unsigned short* userId, int identityForm,
                           const unsigned short* codeText, const unsigned short* valueText) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestReissue(
        {{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)}, userId,
        identityForm, codeText, valueText, out);
    setError(out.code, out.mesg);
    return out.status;
}
