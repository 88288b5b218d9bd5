// What a result code of a request means for PAM: the return value, the word
// in the log line, its priority, and what the person is told.
#pragma once

#include <string_view>

namespace otpcli::pam {

enum class Tell {
    Nothing,
    ServiceMessage,  // the service's own message, as an error message
    Unreachable,     // the module's text saying the service cannot be reached
};

struct Verdict {
    int pamResult;
    const char* outcome;  // for the log: success, wrong-otp, locked, ...
    int priority;         // syslog priority of the log line
    Tell tell;
};

// The verdict for the result code of a delivery or an authentication.
Verdict verdictFor(std::string_view code) noexcept;

}  // namespace otpcli::pam
