// The two service checks: unsealed 98-byte frames answered with "service
// available" on success.
#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/exchange.h"
#include "requests/frame.h"
#include "requests/identity.h"
#include "requests/requests.h"

namespace otpcli {
namespace {

constexpr int kCheckPairOffset = kIdentityBlockOffset;

}  // namespace

void requestCheck(const RequestContext& context, TextArgument userId, int identityForm,
                  TextArgument codeText, TextArgument valueText, Outcome& out) noexcept {
    if (userId.isNull() || codeText.isNull() || valueText.isNull()) {
        return out.set(kNullArgument);
    }
    // The text form carries the identity text itself; every other form a
    // resident registration number.
    AnsiText id;
    AnsiText code;
    AnsiText value;
    if (!convertIdentity(id, userId, identityForm != kIdentityFormText, context.checkNumber, out) ||
        !convertCodeAndValue(code, value, codeText, valueText, out)) {
        return;
    }
    IdentityText identity;
    const WipeOnExit wipeIdentity(identity);
    if (!makeIdentityText(id, identityForm, identity)) {
        return out.set(kBadIdentityText);
    }
    ByteBuffer frame = newFrame(kCheck.frameLength);
    if (!frame) {
        return out.set(kOutOfMemory);
    }
    auto* text = reinterpret_cast<char*>(frame.get());
    writeFrameHead(text, kCheck, context.config.siteId);
    writeText(text, kIdentityTextOffset, kIdentityTextBytes, {identity.data(), identity.size()});
    writeCodeValuePair(text, kCheckPairOffset, code.view(), value.view());
    exchange(context.config, std::move(frame), kCheck.frameLength, kServiceAvailable, out);
}

void requestAddsvcCheck(const RequestContext& context, TextArgument codeText,
                        TextArgument valueText, Outcome& out) noexcept {
    if (codeText.isNull() || valueText.isNull()) {
        return out.set(kNullArgument);
    }
    AnsiText code;
    AnsiText value;
    if (!convertCodeAndValue(code, value, codeText, valueText, out)) {
        return;
    }
    ByteBuffer frame = newFrame(kAddsvcCheck.frameLength);
    if (!frame) {
        return out.set(kOutOfMemory);
    }
    auto* text = reinterpret_cast<char*>(frame.get());
    writeFrameHead(text, kAddsvcCheck, context.config.siteId);
    writeCodeValuePair(text, kCheckPairOffset, code.view(), value.view());
    exchange(context.config, std::move(frame), kAddsvcCheck.frameLength, kServiceAvailable, out);
}

}  // namespace otpcli

HRESULT OTPCLI::reqCheck(const unsigned short* userId, int identityForm,
                         const unsigned short* codeText, const unsigned short* valueText) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestCheck({{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)},
                         userId, identityForm, codeText, valueText, out);
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqAddsvcCheck(const unsigned short* codeText, const unsigned short* valueText) {
    const auto check = [this](const char* id) { return checkUserId(id); };
    otpcli::Outcome out;
    otpcli::requestAddsvcCheck(
        {{siteId, keyMaterial, port, connectTimeout}, otpcli::NumberCheck(check)}, codeText,
        valueText, out);
    setError(out.code, out.mesg);
    return out.status;
}
