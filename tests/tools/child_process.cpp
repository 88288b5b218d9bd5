#include "tools/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace otpcli::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> environmentWith(const EnvironmentChanges& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!changes.contains(name)) {
            env.push_back(entry);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            env.push_back(name + "=" + *value);
        }
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (std::string& t : texts) {
        out.push_back(t.data());
    }
    out.push_back(nullptr);
    return out;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env, int outFd, int errFd, int closeFd1, int closeFd2) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envCopy = env;
    std::vector<char*> argp = pointers(argv);
    std::vector<char*> envp = pointers(envCopy);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    for (const int fd : {outFd, errFd, closeFd1, closeFd2}) {
        if (fd > 2) {
            posix_spawn_file_actions_addclose(&actions, fd);
        }
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Waits for pid until deadline; its exit status, -1 for a signal, or nullopt
// when it is still running.
std::optional<int> waitUntil(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (r < 0 || Clock::now() >= deadline) {
            return r < 0 ? std::optional<int>(-1) : std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void killAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const EnvironmentChanges& env, std::chrono::milliseconds timeout) {
    RunResult result;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return result;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    const pid_t pid = spawn(program, args, environmentWith(env), out[1], err[1], out[0], err[0]);
    close(out[1]);
    close(err[1]);
    const auto deadline = Clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int openPipes = pid > 0 ? 2 : 0;
    while (openPipes > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                } else {
                    fds[i].fd = -1;
                    --openPipes;
                }
            }
        }
    }
    close(out[0]);
    close(err[0]);
    if (pid > 0) {
        const std::optional<int> status =
            result.timedOut ? std::nullopt : waitUntil(pid, Clock::now() + timeout);
        if (status) {
            result.exitCode = *status;
        } else {
            result.timedOut = true;
            killAndReap(pid);
        }
    }
    return result;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        killAndReap(pid_);
    }
    if (stdout_ >= 0) {
        close(stdout_);
    }
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stderrPath) {
    if (stdout_ >= 0) {
        close(stdout_);
        stdout_ = -1;
    }
    pending_.clear();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return false;
    }
    const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (err < 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    pid_ = spawn(program, args, environmentWith({}), out[1], err, out[0], -1);
    close(out[1]);
    close(err);
    stdout_ = out[0];
    return pid_ > 0;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || stdout_ < 0) {
            return std::nullopt;
        }
        pollfd fd{stdout_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = read(stdout_, buffer, sizeof buffer);
        if (n <= 0) {
            return std::nullopt;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

bool ChildProcess::running() {
    if (pid_ <= 0) {
        return false;
    }
    if (waitUntil(pid_, Clock::now())) {
        pid_ = -1;
        return false;
    }
    return true;
}

int ChildProcess::stop(int signal, std::chrono::milliseconds timeout) {
    if (pid_ <= 0) {
        return -1;
    }
    kill(pid_, signal);
    const std::optional<int> status = waitUntil(pid_, Clock::now() + timeout);
    if (!status) {
        killAndReap(pid_);
    }
    pid_ = -1;
    return status.value_or(-1);
}

}  // namespace otpcli::test
