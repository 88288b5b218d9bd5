// otpd, the local stand-in service, run as a child process for a benchmark: on
// a loopback address with a port of the system's choice, its log discarded.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace otpcli::bench {

class OtpdProcess {
  public:
    // Starts program with --listen 127.0.0.1 --port 0 and the given arguments
    // and waits up to five seconds for its "listening" line.
    OtpdProcess(const std::string& program, const std::vector<std::string>& arguments);
    // SIGTERM, then SIGKILL if it has not ended within two seconds.
    ~OtpdProcess();
    OtpdProcess(const OtpdProcess&) = delete;
    OtpdProcess& operator=(const OtpdProcess&) = delete;

    // 0 when the service did not start.
    std::uint16_t port() const { return port_; }

  private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace otpcli::bench
