#include "responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace otpcli::bench {
namespace {

// No single read or accept wait lasts longer than this: a stuck client cannot
// hold the responder.
constexpr int kWaitMillis = 2000;
constexpr int kStopCheckMillis = 100;

// Reads n bytes from a socket whose receive time limit is set; false on a
// close, an error or the limit.
bool readExactly(int fd, char* out, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, out + got, n - got, 0);
        if (r <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(r);
    }
    return true;
}

}  // namespace

Responder::Responder(std::string reply) : reply_(std::move(reply)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 128) != 0) {
        ::close(listener_);
        listener_ = -1;
        return;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

Responder::~Responder() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

std::string Responder::lastFrame() const {
    const std::lock_guard lock(mutex_);
    return lastFrame_;
}

std::string Responder::reply(const std::string& code, const std::string& mesg) {
    std::string body(40, ' ');
    body += code;
    body += "   ";
    body += mesg;
    char length[6];
    std::snprintf(length, sizeof length, "%05zu", body.size());
    return length + body;
}

void Responder::run() {
    while (!stop_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, kStopCheckMillis) <= 0) {
            continue;
        }
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        const timeval limit{kWaitMillis / 1000, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (serve(connection)) {
            ++answered_;
        }
        ::close(connection);
    }
}

bool Responder::serve(int connection) {
    char frame[5 + 99999];
    if (!readExactly(connection, frame, 5)) {
        return false;
    }
    const int length = std::atoi(std::string(frame, 5).c_str());
    if (length < 0 || !readExactly(connection, frame + 5, static_cast<std::size_t>(length))) {
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        lastFrame_.assign(frame, static_cast<std::size_t>(length) + 5);
    }
    // The whole reply in one write.
    return ::send(connection, reply_.data(), reply_.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(reply_.size());
}

}  // namespace otpcli::bench
