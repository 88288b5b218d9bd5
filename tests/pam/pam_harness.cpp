#include "pam_harness.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace otpcli::test {
namespace {

std::mutex logMutex;
std::vector<std::string> logLines;  // NOLINT: the capture is process-wide by nature

void capture(const char* format, va_list args) {
    char line[1024];
    vsnprintf(line, sizeof line, format, args);
    const std::lock_guard<std::mutex> lock(logMutex);
    logLines.emplace_back(line);
}

struct Script {
    const Answerer* answer;
    std::vector<PamMessage>* messages;
};

int converse(int count, const pam_message** messages, pam_response** responses, void* data) {
    auto* script = static_cast<Script*>(data);
    auto* replies = static_cast<pam_response*>(calloc(count, sizeof(pam_response)));
    if (replies == nullptr) {
        return PAM_BUF_ERR;
    }
    for (int i = 0; i < count; ++i) {
        const pam_message* m = messages[i];
        script->messages->push_back({m->msg_style, m->msg == nullptr ? "" : m->msg});
        if (m->msg_style == PAM_PROMPT_ECHO_OFF || m->msg_style == PAM_PROMPT_ECHO_ON) {
            const std::optional<std::string> reply =
                *script->answer ? (*script->answer)(m->msg) : std::nullopt;
            if (!reply) {
                for (int j = 0; j < i; ++j) {
                    free(replies[j].resp);
                }
                free(replies);
                return PAM_CONV_ERR;
            }
            replies[i].resp = strdup(reply->c_str());
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

}  // namespace

int PamRun::prompts() const {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(), [](const auto& m) {
        return m.style == PAM_PROMPT_ECHO_OFF || m.style == PAM_PROMPT_ECHO_ON;
    }));
}

bool PamRun::said(int style, const std::string& text) const {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const auto& m) { return m.style == style && m.text == text; });
}

PamRun runPam(const std::string& confdir, const std::string& service, const std::string& user,
              const Answerer& answer, int flags) {
    PamRun run;
    Script script{&answer, &run.messages};
    const pam_conv conversation{converse, &script};
    pam_handle_t* pamh = nullptr;
    const std::size_t logBefore = capturedLog().size();
    if (pam_start_confdir(service.c_str(), user.c_str(), &conversation, confdir.c_str(), &pamh) !=
        PAM_SUCCESS) {
        return run;
    }
    run.result = pam_authenticate(pamh, flags);
    pam_end(pamh, run.result);
    const std::vector<std::string> all = capturedLog();
    // The module's own lines (libpam logs about the test's configuration too).
    for (std::size_t i = logBefore; i < all.size(); ++i) {
        if (all[i].rfind("pam_otpcli", 0) == 0) {
            run.log.push_back(all[i]);
        }
    }
    return run;
}

std::vector<std::string> capturedLog() {
    const std::lock_guard<std::mutex> lock(logMutex);
    return logLines;
}

}  // namespace otpcli::test

// The C library's syslog, replaced for the whole test program (libpam calls
// the fortified form).
extern "C" {
void __syslog_chk(int /*priority*/, int /*flag*/, const char* format, ...) {
    va_list args;
    va_start(args, format);
    otpcli::test::capture(format, args);
    va_end(args);
}
void __vsyslog_chk(int /*priority*/, int /*flag*/, const char* format, va_list args) {
    otpcli::test::capture(format, args);
}
void syslog(int /*priority*/, const char* format, ...) {
    va_list args;
    va_start(args, format);
    otpcli::test::capture(format, args);
    va_end(args);
}
void vsyslog(int /*priority*/, const char* format, va_list args) {
    otpcli::test::capture(format, args);
}
}
