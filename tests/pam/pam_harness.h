// Runs pam_otpcli.so through libpam as a host would: pam_start_confdir on a
// service file in a test directory (nothing under /etc is read or changed), a
// scripted conversation, and the module's syslog lines captured in-process.
#pragma once

#include <security/pam_appl.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace otpcli::test {

struct PamMessage {
    int style;  // PAM_PROMPT_ECHO_OFF, PAM_TEXT_INFO, ...
    std::string text;
};

// Answers a prompt; nullopt makes the conversation fail.
using Answerer = std::function<std::optional<std::string>(const std::string& prompt)>;

struct PamRun {
    int result = -1;  // what pam_authenticate returned
    std::vector<PamMessage> messages;
    std::vector<std::string> log;  // the module's log lines during the run

    int prompts() const;
    bool said(int style, const std::string& text) const;
};

// pam_authenticate for user with the stack in confdir/service, answering with
// answer; flags go to pam_authenticate.
PamRun runPam(const std::string& confdir, const std::string& service, const std::string& user,
              const Answerer& answer, int flags = 0);

// The syslog lines every test program call has produced so far (the program
// defines the C library's syslog entry points, and libpam's pam_syslog lands
// there).
std::vector<std::string> capturedLog();

}  // namespace otpcli::test
