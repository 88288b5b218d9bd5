// The module arguments on the PAM "auth" line: what differs per service.
#pragma once

#include <string>

#include "settings.h"

namespace otpcli::pam {

enum class UnknownUser {
    Fail,    // PAM_USER_UNKNOWN
    Ignore,  // PAM_IGNORE: the stack goes on as if the module were not there
};

enum class FirstPass {
    None,  // always prompt
    Try,   // try the token an earlier module stored, prompt if it fails
    Use,   // only the stored token; never prompt
};

struct Arguments {
    std::string config = kDefaultConfigPath;      // config=PATH
    std::string prompt = "One-time code: ";       // prompt=TEXT ([prompt=Text with spaces])
    bool deliver = false;                         // deliver: have an OTP sent first
    UnknownUser unknownUser = UnknownUser::Fail;  // unknown_user=fail|ignore
    FirstPass firstPass = FirstPass::None;        // try_first_pass, use_first_pass
};

// False with the reason in error for an unknown or malformed argument: a
// misspelt option must not quietly change how logins are checked.
bool parseArguments(int argc, const char** argv, Arguments& arguments, std::string& error);

}  // namespace otpcli::pam
