#include "tools/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace otpcli::test {
namespace {

using Clock = std::chrono::steady_clock;

int connectTo(const char* host, int port, const char* source) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (source != nullptr) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, source, &from.sin_addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            close(fd);
            return -1;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host, &address.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads until end of file, an error or the deadline; true when the peer closed.
bool readUntilClosed(int fd, Clock::time_point deadline, std::string* into) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[1024];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return true;
        }
        if (into != nullptr) {
            into->append(buffer, static_cast<std::size_t>(n));
        }
    }
}

}  // namespace

RawExchange exchangeRaw(const char* host, int port, std::string_view bytes, bool halfClose,
                        std::chrono::milliseconds timeout, const char* source) {
    RawExchange result;
    const auto start = Clock::now();
    const int fd = connectTo(host, port, source);
    if (fd < 0) {
        return result;
    }
    result.connected = true;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    if (halfClose) {
        shutdown(fd, SHUT_WR);
    }
    result.closedByPeer = readUntilClosed(fd, start + timeout, &result.received);
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    close(fd);
    return result;
}

SilentConnection::SilentConnection(const char* host, int port, const char* source)
    : fd_(connectTo(host, port, source)) {}

SilentConnection::~SilentConnection() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool SilentConnection::waitForClose(std::chrono::milliseconds timeout) {
    return fd_ >= 0 && readUntilClosed(fd_, Clock::now() + timeout, nullptr);
}

bool SilentConnection::send(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return fd_ >= 0;
}

std::string SilentConnection::receive(std::chrono::milliseconds timeout) {
    std::string received;
    if (fd_ >= 0) {
        readUntilClosed(fd_, Clock::now() + timeout, &received);
    }
    return received;
}

ParsedReply parseReply(const std::string& bytes) {
    ParsedReply reply;
    if (bytes.size() < 5 ||
        bytes.substr(0, 5).find_first_not_of("0123456789") != std::string::npos) {
        return reply;
    }
    reply.body = bytes.substr(5);
    reply.ok = std::stoul(bytes.substr(0, 5)) == reply.body.size() && reply.body.size() >= 47;
    if (reply.ok) {
        reply.code = reply.body.substr(40, 4);
        reply.message = reply.body.substr(47);
    }
    return reply;
}

}  // namespace otpcli::test
