// The client object: construction, copy, configuration and getters.
#include <cstring>

#include <otpcli/otpcli.h>

#include "client/ansi_text.h"
#include "crypto/wipe.h"
#include "net/server_table.h"
#include "platform/codepage.h"

const int OTPCLI::AUTH_LEVEL_1 = 1;
const int OTPCLI::AUTH_LEVEL_2 = 2;

namespace {

constexpr std::size_t kConfigTextBytes = 32;

// Converts a configuration text and stores it in field (33 bytes, zero after the
// text). A text that cannot fit, or cannot be converted (E_FAIL), leaves the
// field as it was.
HRESULT storeConfigText(const unsigned short* text, char (&field)[kConfigTextBytes + 1]) {
    if (text == nullptr) {
        return E_POINTER;
    }
    // Past the inline room the text is over 32 bytes anyway: every two units
    // convert to at least one byte.
    if (otpcli::platform::wideLength(text) > otpcli::AnsiText::kInlineUnits) {
        return E_INVALIDARG;
    }
    otpcli::AnsiText ansi;
    if (ansi.assign(text) != otpcli::Conversion::done) {
        return E_FAIL;
    }
    if (ansi.size() > kConfigTextBytes) {
        return E_INVALIDARG;
    }
    std::memset(field, 0, sizeof field);
    std::memcpy(field, ansi.c_str(), ansi.size());
    return S_OK;
}

HRESULT returnString(const char* ansi, BSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = otpcli::platform::newStringFromAnsi(ansi);
    return S_OK;
}

}  // namespace

OTPCLI::OTPCLI() : errorCode{}, errorMesg{}, connectTimeout(5), port(0), siteId{}, keyMaterial{} {}

OTPCLI::OTPCLI(const OTPCLI& other) : connectTimeout(other.connectTimeout), port(other.port) {
    std::memcpy(errorCode, other.errorCode, sizeof errorCode);
    std::memcpy(errorMesg, other.errorMesg, sizeof errorMesg);
    std::memcpy(siteId, other.siteId, sizeof siteId);
    std::memcpy(keyMaterial, other.keyMaterial, sizeof keyMaterial);
}

OTPCLI& OTPCLI::operator=(const OTPCLI& other) {
    if (this != &other) {
        std::memcpy(errorCode, other.errorCode, sizeof errorCode);
        std::memcpy(errorMesg, other.errorMesg, sizeof errorMesg);
        connectTimeout = other.connectTimeout;
        port = other.port;
        std::memcpy(siteId, other.siteId, sizeof siteId);
        std::memcpy(keyMaterial, other.keyMaterial, sizeof keyMaterial);
    }
    return *this;
}

// Copies stay as they are; the destroyed object leaves no key material behind.
OTPCLI::~OTPCLI() {
    otpcli::wipe(keyMaterial, sizeof keyMaterial);
}

HRESULT OTPCLI::init(int newPort, const unsigned short* newSiteId,
                     const unsigned short* newKeyMaterial) {
    port = newPort;
    const HRESULT site = storeConfigText(newSiteId, siteId);
    if (site != S_OK) {
        return site;
    }
    return storeConfigText(newKeyMaterial, keyMaterial);
}

HRESULT OTPCLI::getErrorCode(BSTR* code) {
    return returnString(errorCode, code);
}

HRESULT OTPCLI::getErrorMesg(BSTR* mesg) {
    return returnString(errorMesg, mesg);
}

HRESULT OTPCLI::getHost(BSTR* host) {
    if (host == nullptr) {
        return E_POINTER;
    }
    char name[otpcli::kMaxHostNameBytes + 1];
    otpcli::currentHostName(name);
    return returnString(name, host);
}

HRESULT OTPCLI::getPort(int* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = port;
    return S_OK;
}

HRESULT OTPCLI::setConnectTimeout(int timeout) {
    connectTimeout = timeout;
    return S_OK;
}

HRESULT OTPCLI::getConnectTimeout(int* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = connectTimeout;
    return S_OK;
}

HRESULT OTPCLI::setServerHosts(const unsigned short* primary, const unsigned short* backup) {
    if (primary == nullptr || backup == nullptr) {
        return E_POINTER;
    }
    otpcli::AnsiText first;
    otpcli::AnsiText second;
    HRESULT status = otpcli::statusOf(first.assign(primary));
    if (status == S_OK) {
        status = otpcli::statusOf(second.assign(backup));
    }
    if (status != S_OK) {
        return status;
    }
    return otpcli::replaceServerHosts(first.c_str(), second.c_str()) ? S_OK : E_INVALIDARG;
}
