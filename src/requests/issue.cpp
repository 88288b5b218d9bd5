// Issue and reissue of an OTP.
#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/birth_data.h"
#include "requests/identity.h"
#include "requests/put_digits.h"
#include "requests/sealed_request.h"

namespace {

constexpr int kBirthDataOffset = otpcli::kOwnFieldsOffset;
constexpr int kIssuePairOffset = kBirthDataOffset + 9;
constexpr int kReissuePairOffset = otpcli::kOwnFieldsOffset;

}  // namespace

HRESULT OTPCLI::reqIssue(const unsigned short* userId, const unsigned short* codeText,
                         const unsigned short* valueText) {
    using namespace otpcli;
    const RequestConfig config{siteId, keyMaterial, port, connectTimeout};
    Outcome out;
    [&] {
        if (userId == nullptr || codeText == nullptr || valueText == nullptr) {
            return out.set(kNullArgument);
        }
        AnsiText id;
        AnsiText code;
        AnsiText value;
        if (!convertIdentity(
                id, userId, true, [this](const char* number) { return checkUserId(number); },
                out) ||
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
            config, kIssue, bytesOf(identity),
            [&](char* frame) {
                putDigits(birth.birthYear, 4, frame, kBirthDataOffset);
                putDigits(birth.birthMonth, 2, frame, kBirthDataOffset + 4);
                putDigits(birth.birthDay, 2, frame, kBirthDataOffset + 6);
                frame[kBirthDataOffset + 8] = birth.sexLetter;
                writeCodeValuePair(frame, kIssuePairOffset, code.view(), value.view());
            },
            out);
    }();
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqReissue(const unsigned short* userId, int identityForm,
                           const unsigned short* codeText, const unsigned short* valueText) {
    using namespace otpcli;
    const RequestConfig config{siteId, keyMaterial, port, connectTimeout};
    Outcome out;
    [&] {
        if (userId == nullptr || codeText == nullptr || valueText == nullptr) {
            return out.set(kNullArgument);
        }
        AnsiText id;
        AnsiText code;
        AnsiText value;
        if (!convertIdentity(
                id, userId, identityForm == kIdentityFormNumber,
                [this](const char* number) { return checkUserId(number); }, out) ||
            !convertCodeAndValue(code, value, codeText, valueText, out)) {
            return;
        }
        IdentityText identity;
        const WipeOnExit wipeIdentity(identity);
        if (!makeIdentityText(id, identityForm, identity)) {
            return out.set(kBadIdentityText);
        }
        runSealedRequest(
            config, kReissue, bytesOf(identity),
            [&](char* frame) {
                writeCodeValuePair(frame, kReissuePairOffset, code.view(), value.view());
            },
            out);
    }();
    setError(out.code, out.mesg);
    return out.status;
}
