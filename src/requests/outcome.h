// What a request works from (the object's configuration) and what it leaves
// behind (the code, message and status for the object's error state).
#pragma once

#include <cstring>

#include <otpcli/otpcli.h>

#include "client/messages.h"

namespace otpcli {

struct RequestConfig {
    const char* siteId;       // the object's 33-byte field
    const char* keyMaterial;  // NUL-terminated
    int port;
    int connectTimeout;
};

struct Outcome {
    char code[5] = {};
    char mesg[257] = {};
    HRESULT status = E_FAIL;

    void set(const Result& result, HRESULT newStatus = E_FAIL) noexcept {
        setText(result.code, result.mesg);
        status = newStatus;
    }
    // Code and message as the service sent them: at most 4 and 256 bytes, up to
    // the first NUL.
    void setText(const char* newCode, const char* newMesg) noexcept {
        std::memset(code, 0, sizeof code);
        std::memset(mesg, 0, sizeof mesg);
        std::memcpy(code, newCode, strnlen(newCode, sizeof code - 1));
        std::memcpy(mesg, newMesg, strnlen(newMesg, sizeof mesg - 1));
    }
};

}  // namespace otpcli
