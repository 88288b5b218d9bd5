#include "capi/client_handle.h"

#include "crypto/wipe.h"

namespace {

constexpr std::size_t kConfigTextBytes = 32;
// Every byte of code page 949 comes from at most four bytes of UTF-8 (a
// character beyond the first plane becomes one '?'), so a longer text cannot
// fit the field.
constexpr std::size_t kConfigUtf8Bytes = 4 * kConfigTextBytes;

// Converts a configuration text and stores it in field (33 bytes, zero after
// the text). A text that cannot be stored leaves the field as it was. The
// converted copy is wiped: it may be key material.
otpcli_status storeConfigText(const char* text, char (&field)[kConfigTextBytes + 1]) noexcept {
    if (text == nullptr) {
        return OTPCLI_E_POINTER;
    }
    const std::size_t length = strnlen(text, kConfigUtf8Bytes + 1);
    if (length > kConfigUtf8Bytes) {
        return OTPCLI_E_INVALIDARG;
    }
    char converted[kConfigUtf8Bytes + 1];
    otpcli_status status = OTPCLI_OK;
    switch (otpcli::platform::utf8ToAnsi(text, length, converted, sizeof converted)) {
        case otpcli::platform::Utf8Conversion::converted:
            if (std::strlen(converted) > kConfigTextBytes) {
                status = OTPCLI_E_INVALIDARG;
                break;
            }
            std::memset(field, 0, sizeof field);
            std::memcpy(field, converted, std::strlen(converted));
            break;
        case otpcli::platform::Utf8Conversion::malformed:
            status = OTPCLI_E_INVALIDARG;
            break;
        case otpcli::platform::Utf8Conversion::unavailable:
            status = OTPCLI_E_FAIL;
            break;
    }
    otpcli::wipeObject(converted);
    return status;
}

}  // namespace

otpcli_status otpcli_client::configure(int newPort, const char* newSiteId,
                                       const char* newKeyMaterial) noexcept {
    // As the class's init: the port first, then each text; a text that fails
    // leaves what was stored before it.
    port = newPort;
    const otpcli_status site = storeConfigText(newSiteId, siteId);
    if (site != OTPCLI_OK) {
        return site;
    }
    return storeConfigText(newKeyMaterial, keyMaterial);
}
