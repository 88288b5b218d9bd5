// The two service checks: unsealed 98-byte frames answered with "service
// available" on success.
#include <otpcli/otpcli.h>

#include "crypto/wipe.h"
#include "requests/arguments.h"
#include "requests/exchange.h"
#include "requests/frame.h"
#include "requests/identity.h"

namespace {

constexpr int kCheckPairOffset = otpcli::kIdentityBlockOffset;

}  // namespace

HRESULT OTPCLI::reqCheck(const unsigned short* userId, int identityForm,
                         const unsigned short* codeText, const unsigned short* valueText) {
    using namespace otpcli;
    const RequestConfig config{siteId, keyMaterial, port, connectTimeout};
    Outcome out;
    [&] {
        if (userId == nullptr || codeText == nullptr || valueText == nullptr) {
            return out.set(kNullArgument);
        }
        // The text form carries the identity text itself; every other form a
        // resident registration number.
        AnsiText id;
        AnsiText code;
        AnsiText value;
        if (!convertIdentity(
                id, userId, identityForm != kIdentityFormText,
                [this](const char* number) { return checkUserId(number); }, out) ||
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
        writeFrameHead(text, kCheck, siteId);
        writeText(text, kIdentityTextOffset, kIdentityTextBytes,
                  {identity.data(), identity.size()});
        writeCodeValuePair(text, kCheckPairOffset, code.view(), value.view());
        exchange(config, std::move(frame), kCheck.frameLength, kServiceAvailable, out);
    }();
    setError(out.code, out.mesg);
    return out.status;
}

HRESULT OTPCLI::reqAddsvcCheck(const unsigned short* codeText, const unsigned short* valueText) {
    using namespace otpcli;
    const RequestConfig config{siteId, keyMaterial, port, connectTimeout};
    Outcome out;
    [&] {
        if (codeText == nullptr || valueText == nullptr) {
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
        writeFrameHead(text, kAddsvcCheck, siteId);
        writeCodeValuePair(text, kCheckPairOffset, code.view(), value.view());
        exchange(config, std::move(frame), kAddsvcCheck.frameLength, kServiceAvailable, out);
    }();
    setError(out.code, out.mesg);
    return out.status;
}
