#include "tools/otpd_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace otpcli::test {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool writePrivateFile(const std::string& path, const std::string& contents, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    const bool written =
        ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
    return ::fchmod(fd, mode) == 0 && ::close(fd) == 0 && written;
}

OtpdProcess::OtpdProcess() {
    std::string pattern = (std::filesystem::temp_directory_path() / "otpd-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        directory_ = pattern;
    }
}

OtpdProcess::~OtpdProcess() {
    process_.stop(SIGTERM);
    if (::testing::Test::HasFailure()) {
        std::cerr << "--- otpd log ---\n" << log() << "--- end of otpd log ---\n";
    }
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

bool OtpdProcess::start(const std::vector<std::string>& extraArgs, const std::string& address,
                        int port) {
    if (directory_.empty()) {
        return false;
    }
    const std::string sites = directory_ + "/sites.conf";
    if (!writePrivateFile(sites, std::string(kSite) + ":" + kKey + "\n")) {
        return false;
    }
    std::vector<std::string> args{"--listen", address, "--port",   std::to_string(port),
                                  "--config", sites,   "--outbox", directory_ + "/outbox"};
    if (std::find(extraArgs.begin(), extraArgs.end(), "--deadline") == extraArgs.end()) {
        args.insert(args.end(), {"--deadline", "1"});
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (!process_.start(OTPD_PATH, args, directory_ + "/log")) {
        return false;
    }
    const std::optional<std::string> line = process_.readLine(std::chrono::seconds(10));
    const std::string prefix = "listening " + address + ":";
    if (!line || line->rfind(prefix, 0) != 0) {
        return false;
    }
    port_ = std::stoi(line->substr(prefix.size()));
    return true;
}

std::string OtpdProcess::outbox() const {
    return readFile(directory_ + "/outbox");
}

std::string OtpdProcess::log() const {
    return readFile(directory_ + "/log");
}

std::vector<std::vector<std::string>> OtpdProcess::outboxLines() const {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(outbox());
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, '\t')) {
            fields.push_back(cell);
        }
        lines.push_back(fields);
    }
    return lines;
}

std::optional<std::string> OtpdProcess::lastOtp(const std::string& identity) const {
    std::optional<std::string> otp;
    for (const std::vector<std::string>& fields : outboxLines()) {
        if (fields.size() >= 2 && fields[1] == identity) {
            otp = fields[0];
        }
    }
    return otp;
}

}  // namespace otpcli::test
