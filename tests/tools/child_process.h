// Child processes for tests: started with posix_spawn, bounded in time, never
// left running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace otpcli::test {

// Environment changes for a child: a value sets the variable, nullopt unsets it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

struct RunResult {
    int exitCode = -1;  // -1 when the program was killed or timed out
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs program to its end (killing it after timeout), stdin from /dev/null,
// stdout and stderr captured.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const EnvironmentChanges& env = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A program left running, with its stdout on a pipe and its stderr appended to a file.
class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Kills the child if it still runs.
    ~ChildProcess();

    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::string& stderrPath);
    // One line of stdout without its newline; nullopt on end of file or timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    bool running();
    pid_t pid() const { return pid_; }
    // Sends signal and waits for the exit; the exit status, or -1 when the
    // child did not exit in time (it is then killed) or died of a signal.
    int stop(int signal, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string pending_;
};

}  // namespace otpcli::test
