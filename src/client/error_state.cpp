// The error state that every request leaves in the object.
#include <cstring>

#include <otpcli/otpcli.h>

#include "client/messages.h"

void OTPCLI::setError(const char* code, const char* mesg) {
    std::memset(errorCode, 0, sizeof errorCode);
    std::memset(errorMesg, 0, sizeof errorMesg);
    if (code == nullptr || mesg == nullptr || strnlen(code, 4) < 4) {
        code = otpcli::kOtherError.code;
        mesg = otpcli::kOtherError.mesg;
    }
    std::memcpy(errorCode, code, 4);
    // Cut by bytes: byte 256 stays zero, so the message is always terminated.
    std::memcpy(errorMesg, mesg, strnlen(mesg, sizeof errorMesg - 1));
}
