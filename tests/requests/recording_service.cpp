#include "requests/recording_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace otpcli::test {
namespace {

constexpr int kIoTimeoutMillis = 3000;

// Reads exactly n bytes, each wait bounded; false on timeout or close.
bool readExactly(int fd, std::string& out, std::size_t n) {
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kIoTimeoutMillis) <= 0) {
            return false;
        }
        char buf[4096];
        const std::size_t want = std::min(sizeof buf, n - out.size());
        const ssize_t r = recv(fd, buf, want, 0);
        if (r <= 0) {
            return false;
        }
        out.append(buf, static_cast<std::size_t>(r));
    }
    return true;
}

}  // namespace

RecordingService::RecordingService(const char* address) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    inet_pton(AF_INET, address, &addr.sin_addr);
    const int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 16) != 0) {
        throw std::runtime_error("recording service cannot listen");
    }
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    reply_ = reply("0000", "");
    thread_ = std::thread([this] { serve(); });
}

RecordingService::~RecordingService() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

void RecordingService::setReply(std::string bytes) {
    const std::lock_guard lock(mutex_);
    reply_ = std::move(bytes);
}

std::string RecordingService::reply(const std::string& code, const std::string& mesg) {
    const std::string body = std::string(40, 'R') + code + "RRR" + mesg;
    char length[6];
    std::snprintf(length, sizeof length, "%05zu", body.size());
    return length + body;
}

std::vector<std::string> RecordingService::frames() const {
    const std::lock_guard lock(mutex_);
    return frames_;
}

void RecordingService::serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) {
            continue;
        }
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        ++connections_;
        handle(client);
        close(client);
    }
}

void RecordingService::handle(int client) {
    std::string frame;
    if (!readExactly(client, frame, 5)) {
        return;
    }
    const std::size_t length = std::strtoul(frame.c_str(), nullptr, 10);
    if (!readExactly(client, frame, 5 + length)) {
        return;
    }
    std::string answer;
    {
        const std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        answer = reply_;
    }
    std::size_t sent = 0;
    while (sent < answer.size()) {
        const ssize_t r = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (r <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(r);
    }
}

}  // namespace otpcli::test
