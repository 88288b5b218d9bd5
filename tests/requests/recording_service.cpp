#include "requests/recording_service.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace otpcli::test {
namespace {

constexpr int kIoTimeoutMillis = 3000;

// Reads exactly n bytes, each wait bounded; false on timeout or close.
bool readExactly(SocketHandle fd, std::string& out, std::size_t n) {
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (pollSockets(&p, 1, kIoTimeoutMillis) <= 0) {
            return false;
        }
        char buf[4096];
        const std::size_t want = std::min(sizeof buf, n - out.size());
        const auto r = recv(fd, buf, want, 0);
        if (r <= 0) {
            return false;
        }
        out.append(buf, static_cast<std::size_t>(r));
    }
    return true;
}

}  // namespace

RecordingService::RecordingService(const char* address) {
    listener_ = openTcpSocket();
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    inet_pton(AF_INET, address, &addr.sin_addr);
    const int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one),
               sizeof one);
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
    closeSocketHandle(listener_);
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
        if (pollSockets(&p, 1, 20) <= 0) {
            continue;
        }
        const SocketHandle client = acceptConnection(listener_, false);
        if (client == kNoSocketHandle) {
            continue;
        }
        ++connections_;
        handle(client);
        closeSocketHandle(client);
    }
}

void RecordingService::handle(SocketHandle client) {
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
        const auto r = send(client, answer.data() + sent, answer.size() - sent, kSendNoSignal);
        if (r <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(r);
    }
}

}  // namespace otpcli::test
