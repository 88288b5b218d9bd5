// A real otpd process on loopback for a test: started with --port 0 (or a
// given port), its port read from the line it prints, stopped at the end.
#pragma once

#include <sys/types.h>
#include <chrono>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "tools/child_process.h"

namespace otpcli::test {

inline constexpr char kSite[] = "SITE01";
inline constexpr char kKey[] = "site key material";

// Writes contents to path with the given mode, whatever the umask.
bool writePrivateFile(const std::string& path, const std::string& contents, mode_t mode = 0600);

class OtpdProcess {
  public:
    OtpdProcess();
    // Stops the process and removes its files; on a failed test prints its log.
    ~OtpdProcess();
    OtpdProcess(const OtpdProcess&) = delete;
    OtpdProcess& operator=(const OtpdProcess&) = delete;

    // Starts otpd on address:port with SITE01 (from a site file) and the extra
    // arguments, an outbox in a fresh directory and --deadline 1 (unless the
    // extra arguments give one); waits for its listening line. False when it
    // did not come up.
    bool start(const std::vector<std::string>& extraArgs = {},
               const std::string& address = "127.0.0.1", int port = 0);
    int port() const { return port_; }
    int pid() const { return process_.pid(); }
    const std::string& directory() const { return directory_; }
    bool running() { return process_.running(); }
    // SIGTERM; the exit status, -1 when it had to be killed.
    int stop() { return process_.stop(SIGTERM); }
    // SIGKILL, as a crash would end it; start() may then run it again.
    void kill() { process_.stop(SIGKILL); }

    // A file in the process's own directory, removed with it.
    std::string file(const std::string& name) const { return directory_ + "/" + name; }

    std::string outbox() const;
    std::string log() const;
    // The OTP of the last outbox line for identity (the 40-character text).
    std::optional<std::string> lastOtp(const std::string& identity) const;
    // The outbox lines, fields split at tabs.
    std::vector<std::vector<std::string>> outboxLines() const;

  private:
    std::string directory_;
    ChildProcess process_;
    int port_ = -1;
};

}  // namespace otpcli::test
