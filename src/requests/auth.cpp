// Authentication of a one-time password.
#include <array>

#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/identity.h"
#include "requests/put_digits.h"
#include "requests/requests.h"
#include "requests/sealed_request.h"

namespace otpcli {
namespace {

constexpr int kOtpDigits = 7;
constexpr int kOtpLimit = 10'000'000;
constexpr int kAuthLevelOffset = kOwnFieldsOffset;
constexpr int kExtraTextOffset = kAuthLevelOffset + 1;
constexpr int kExtraTextBytes = 20;

}  // namespace

void requestAuth(const RequestContext& context, TextArgument userId, int identityForm, int otpValue,
                 int authLevel, TextArgument extraText, Outcome& out) noexcept {
    if (userId.isNull()) {
        return out.set(kNullArgument);
    }
    // A negative value has no seven-digit form either.
    if (otpValue >= kOtpLimit || otpValue < 0) {
        return out.set(kBadOtpValue);
    }
    AnsiText id;
    if (!convertIdentity(id, userId, identityForm == kIdentityFormNumber, context.checkNumber,
                         out)) {
        return;
    }
    AnsiText extra;
    if (!extraText.isNull() && !convertArgument(extra, extraText, out)) {
        return;
    }
    // The identity text followed by the OTP digits, sealed together.
    std::array<char, kIdentityTextBytes + kOtpDigits> plain{};
    const WipeOnExit wipePlain(plain);
    if (!makeIdentityText(id, identityForm, std::span(plain).first<kIdentityTextBytes>())) {
        return out.set(kBadIdentityText);
    }
    putDigits(otpValue, kOtpDigits, plain.data(), kIdentityTextBytes);
    runSealedRequest(
        context.config, kAuth, bytesOf(plain),
        [&](char* frame) {
            // The level is sent as its last decimal digit, unchecked.
            putDigits(authLevel, 1, frame, kAuthLevelOffset);
            writeText(frame, kExtraTextOffset, kExtraTextBytes, extra.view());
        },
        out);
}

}  // namespace otpcli

HRESULT OTPCLI::reqAuth(const unsigned short* userId, int identityForm, int otpValue, int authLevel,
                        const unsigned short* extraText) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestAuth({{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)},
                        userId, identityForm, otpValue, authLevel, extraText, out);
    setError(out.code, out.mesg);
    return out.status;
}
