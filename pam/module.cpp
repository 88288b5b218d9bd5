// The PAM entry points: pam_sm_authenticate delivers an OTP when asked, prompts
// for it without echo, checks it with the service and maps the outcome onto
// PAM's return values. pam_sm_setcred has no credentials to set.
#include <security/pam_ext.h>
#include <security/pam_modules.h>
#include <stdlib.h>
#include <string.h>
#include <syslog.h>

#include <array>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "arguments.h"
#include "otp_entry.h"
#include "outcome.h"
#include "protected_file.h"
#include "secret.h"
#include "service_session.h"
#include "settings.h"
#include "user_map.h"

namespace otpcli::pam {
namespace {

constexpr std::size_t kMaxSettingsBytes = 64 * 1024;
constexpr std::size_t kMaxUserMapBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxKeyFileBytes = 256;

// The login name as it may appear in the log: printable ASCII, at most 64 bytes.
std::string loggable(std::string_view user) {
    std::string out;
    for (const char c : user.substr(0, 64)) {
        out.push_back(c > ' ' && c < 0x7F ? c : '?');
    }
    return out.empty() ? "?" : out;
}

// What one call of pam_sm_authenticate knows about its caller.
class Attempt {
  public:
    Attempt(pam_handle_t* pamh, int flags) : pamh_(pamh), silent_((flags & PAM_SILENT) != 0) {}

    void setUser(std::string_view user) { user_ = loggable(user); }

    // The one line of the attempt: user, step, outcome, result code. Never the
    // code typed, the key or the identity text.
    void log(int priority, const char* step, const char* outcome, std::string_view code) const {
        const std::string shown(code.empty() ? "-" : code.substr(0, 4));
        pam_syslog(pamh_, priority, "user=%s step=%s outcome=%s code=%s", user_.c_str(), step,
                   outcome, shown.c_str());
    }
    // A fault of the configuration, for the administrator (no secret in it).
    void logFault(const std::string& what) const {
        pam_syslog(pamh_, LOG_ERR, "user=%s step=setup outcome=refused: %s", user_.c_str(),
                   what.c_str());
    }

    void info(const std::string& text) const {
        if (!silent_ && !text.empty()) {
            pam_info(pamh_, "%s", text.c_str());
        }
    }
    void error(const std::string& text) const {
        if (!silent_ && !text.empty()) {
            pam_error(pamh_, "%s", text.c_str());
        }
    }

    // Tells the person what a failed request means, where it helps.
    void tell(const Verdict& verdict, const Outcome& outcome) const {
        if (verdict.tell == Tell::ServiceMessage) {
            error(outcome.message.empty() ? "The one-time code was not accepted."
                                          : outcome.message);
        } else if (verdict.tell == Tell::Unreachable) {
            error("The one-time code service cannot be reached.");
        }
    }

    pam_handle_t* handle() const { return pamh_; }

  private:
    pam_handle_t* pamh_;
    bool silent_;
    std::string user_ = "?";
};

// The code an earlier module left as PAM_AUTHTOK, if any.
std::optional<std::string_view> storedToken(pam_handle_t* pamh) {
    const void* item = nullptr;
    if (pam_get_item(pamh, PAM_AUTHTOK, &item) != PAM_SUCCESS || item == nullptr) {
        return std::nullopt;
    }
    return std::string_view(static_cast<const char*>(item));
}

// Prompts without echo and checks the entry's form. The typed text is wiped
// and freed here; only its value leaves. nullopt with the PAM result in result.
std::optional<int> promptForCode(const Attempt& attempt, const Arguments& arguments, int& result) {
    char* response = nullptr;
    result = pam_prompt(attempt.handle(), PAM_PROMPT_ECHO_OFF, &response, "%s",
                        arguments.prompt.c_str());
    std::optional<int> otp;
    if (response != nullptr) {
        // Only the form of at most a few bytes is looked at; all of it is wiped.
        if (result == PAM_SUCCESS) {
            otp = parseOtpEntry(std::string_view(response, strnlen(response, kMaxOtpDigits + 1)));
        }
        wipe(response, strlen(response));
        free(response);  // NOLINT: the conversation's malloc'd answer
    }
    if (result != PAM_SUCCESS) {
        attempt.log(LOG_NOTICE, "prompt", "no-entry", "");
        return std::nullopt;
    }
    if (!otp) {
        attempt.error("A one-time code is 1 to 7 digits.");
        attempt.log(LOG_NOTICE, "prompt", "malformed-entry", "");
        result = PAM_AUTH_ERR;
    }
    return otp;
}

int authenticate(Attempt& attempt, int argc, const char** argv) {
    pam_handle_t* const pamh = attempt.handle();
    const char* login = nullptr;
    const int userResult = pam_get_user(pamh, &login, nullptr);
    if (userResult != PAM_SUCCESS || login == nullptr) {
        attempt.log(LOG_ERR, "setup", "no-user", "");
        return userResult == PAM_SUCCESS ? PAM_USER_UNKNOWN : userResult;
    }
    attempt.setUser(login);

    Arguments arguments;
    std::string fault;
    if (!parseArguments(argc, argv, arguments, fault)) {
        attempt.logFault(fault);
        return PAM_SERVICE_ERR;
    }

    Settings settings;
    {
        SecretBytes text;
        if (!readProtectedFile(arguments.config, FileKind::Settings, kMaxSettingsBytes, text,
                               fault)) {
            attempt.logFault(fault);
            return PAM_SERVICE_ERR;
        }
        if (!parseSettings(text.view(), settings, fault)) {
            attempt.logFault(arguments.config + ": " + fault);
            return PAM_SERVICE_ERR;
        }
    }

    UserEntry user;
    {
        SecretBytes map;
        if (!readProtectedFile(settings.userMap, FileKind::Secret, kMaxUserMapBytes, map, fault)) {
            attempt.logFault(fault);
            return PAM_SERVICE_ERR;
        }
        switch (findUser(map.view(), login, user, fault)) {
            case MapLookup::Found:
                break;
            case MapLookup::Missing:
                if (arguments.unknownUser == UnknownUser::Ignore) {
                    attempt.log(LOG_INFO, "setup", "unknown-user-ignored", "");
                    return PAM_IGNORE;
                }
                attempt.log(LOG_NOTICE, "setup", "unknown-user", "");
                return PAM_USER_UNKNOWN;
            case MapLookup::Malformed:
                attempt.logFault(settings.userMap + ": " + fault);
                return PAM_SERVICE_ERR;
        }
    }

    ServiceSession session(settings);
    {
        SecretBytes keyText;
        if (!readProtectedFile(settings.keyFile, FileKind::Secret, kMaxKeyFileBytes, keyText,
                               fault)) {
            attempt.logFault(fault);
            return PAM_SERVICE_ERR;
        }
        std::string_view material = keyText.view();
        while (!material.empty() && (material.back() == '\n' || material.back() == '\r')) {
            material.remove_suffix(1);
        }
        // NUL-terminated for the library, which refuses text that is not UTF-8.
        std::array<char, kMaxKeyFileBytes + 1> key{};
        material.copy(key.data(), material.size());
        const bool usable = !material.empty() && session.configure(key.data());
        wipe(key.data(), sizeof key);
        if (!usable) {
            attempt.logFault(settings.keyFile +
                             ": empty, not UTF-8, or the key or site over 32 bytes");
            return PAM_SERVICE_ERR;
        }
    }

    if (arguments.deliver) {
        const Outcome outcome = session.deliver(user);
        const Verdict verdict = verdictFor(outcome.code);
        if (verdict.pamResult != PAM_SUCCESS) {
            attempt.tell(verdict, outcome);
            attempt.log(verdict.priority, "deliver", verdict.outcome, outcome.code);
            return verdict.pamResult;
        }
        attempt.info("A one-time code has been sent.");
    }

    // The stored token first when asked; a prompt when there is none, when it
    // is not a code at all, or when try_first_pass and the service refused it.
    bool prompted = false;
    for (;;) {
        std::optional<int> otp;
        int result = PAM_SUCCESS;
        if (arguments.firstPass != FirstPass::None && !prompted) {
            const std::optional<std::string_view> token = storedToken(pamh);
            otp = token ? parseOtpEntry(*token) : std::nullopt;
            if (!otp && arguments.firstPass == FirstPass::Use) {
                attempt.log(LOG_NOTICE, "prompt", token ? "malformed-entry" : "no-entry", "");
                return PAM_AUTH_ERR;
            }
        }
        if (!otp) {
            prompted = true;
            otp = promptForCode(attempt, arguments, result);
            if (!otp) {
                return result;
            }
        }
        int value = *otp;
        const Outcome outcome = session.check(user, value);
        wipe(&value, sizeof value);
        wipe(&*otp, sizeof(int));
        const Verdict verdict = verdictFor(outcome.code);
        attempt.log(verdict.priority, "check", verdict.outcome, outcome.code);
        // A refused stored token was never typed as a code: prompt without
        // saying that it was wrong.
        if (verdict.pamResult == PAM_AUTH_ERR && arguments.firstPass == FirstPass::Try &&
            !prompted) {
            prompted = true;
            continue;
        }
        if (verdict.pamResult != PAM_SUCCESS) {
            attempt.tell(verdict, outcome);
        }
        return verdict.pamResult;
    }
}

}  // namespace
}  // namespace otpcli::pam

extern "C" {

__attribute__((visibility("default"))) int pam_sm_authenticate(pam_handle_t* pamh, int flags,
                                                               int argc, const char** argv) {
    if (pamh == nullptr) {
        return PAM_SYSTEM_ERR;
    }
    // No exception leaves the module: the host is not ours to bring down.
    try {
        otpcli::pam::Attempt attempt(pamh, flags);
        try {
            return otpcli::pam::authenticate(attempt, argc, argv);
        } catch (const std::bad_alloc&) {
            attempt.log(LOG_ERR, "setup", "no-memory", "");
            return PAM_BUF_ERR;
        } catch (...) {
            attempt.log(LOG_ERR, "setup", "internal-error", "");
            return PAM_SERVICE_ERR;
        }
    } catch (...) {
        return PAM_SERVICE_ERR;
    }
}

__attribute__((visibility("default"))) int pam_sm_setcred(pam_handle_t* /*pamh*/, int /*flags*/,
                                                          int /*argc*/, const char** /*argv*/) {
    return PAM_SUCCESS;
}

}  // extern "C"
