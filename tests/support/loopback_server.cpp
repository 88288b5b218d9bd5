#include "support/loopback_server.h"

#include <utility>

namespace otpcli::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 16;
constexpr std::size_t kFrameLengthDigits = 5;
constexpr int kMaxStallFillers = 4;
constexpr int kStallProbeMillis = 250;

// The socket address of a dotted 127.x.y.z address; false for anything else,
// so that no test reaches beyond the loopback network.
bool loopbackAddress(const std::string& address, std::uint16_t port, sockaddr_in* out) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 ||
        (ntohl(a.sin_addr.s_addr) >> 24) != 127) {
        return false;
    }
    *out = a;
    return true;
}

// A new socket bound to address:port; kNoSocketHandle on failure.
SocketHandle boundSocket(const std::string& address, std::uint16_t port, bool nonBlocking) {
    sockaddr_in a{};
    if (!loopbackAddress(address, port, &a)) {
        return kNoSocketHandle;
    }
    const SocketHandle s = openTcpSocket(nonBlocking);
    if (s == kNoSocketHandle) {
        return kNoSocketHandle;
    }
    if (::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        closeSocketHandle(s);
        return kNoSocketHandle;
    }
    return s;
}

std::uint16_t localPort(SocketHandle s) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        return 0;
    }
    return ntohs(a.sin_port);
}

// The length announced by a frame's length field, or -1 when it is not digits.
long frameBodyLength(const std::string& field) {
    long n = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

Script& Script::read(std::size_t n) {
    steps_.push_back(Step{Kind::Read, n, {}, {}});
    return *this;
}

Script& Script::readFrame() {
    steps_.push_back(Step{Kind::ReadFrame, 0, {}, {}});
    return *this;
}

Script& Script::readToEnd() {
    steps_.push_back(Step{Kind::ReadToEnd, 0, {}, {}});
    return *this;
}

Script& Script::send(std::string bytes, std::size_t pieceSize, milliseconds gap) {
    steps_.push_back(Step{Kind::Send, pieceSize, std::move(bytes), gap});
    return *this;
}

Script& Script::pause(milliseconds duration) {
    steps_.push_back(Step{Kind::Pause, 0, {}, duration});
    return *this;
}

Script& Script::reset() {
    steps_.push_back(Step{Kind::Reset, 0, {}, {}});
    return *this;
}

LoopbackServer::LoopbackServer(std::vector<Script> scripts, const std::string& address,
                               std::uint16_t port, milliseconds ioLimit)
    : scripts_(std::move(scripts)), address_(address), ioLimit_(ioLimit) {
    if (!openWakePair(wake_)) {
        done_ = true;
        return;
    }
    listener_ = boundSocket(address, port, true);
    if (listener_ != kNoSocketHandle && ::listen(listener_, kBacklog) != 0) {
        closeSocketHandle(listener_);
        listener_ = kNoSocketHandle;
    }
    if (listener_ == kNoSocketHandle) {
        done_ = true;
        return;
    }
    port_ = localPort(listener_);
    thread_ = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    if (wake_[1] != kNoSocketHandle) {
        signalWake(wake_);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    closeSocketHandle(listener_);
    closeWakePair(wake_);
}

std::vector<std::string> LoopbackServer::received() const {
    const std::lock_guard lock(mutex_);
    return received_;
}

int LoopbackServer::acceptedCount() const {
    const std::lock_guard lock(mutex_);
    return accepted_;
}

int LoopbackServer::finishedCount() const {
    const std::lock_guard lock(mutex_);
    return finished_;
}

bool LoopbackServer::waitForAccepted(int n, milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return accepted_ >= n; });
}

bool LoopbackServer::waitForFinished(int n, milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return finished_ >= n; });
}

bool LoopbackServer::waitUntilDone(milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return done_; });
}

template <typename Change>
void LoopbackServer::update(Change change) {
    const std::lock_guard lock(mutex_);
    change();
    changed_.notify_all();
}

void LoopbackServer::run() {
    for (const Script& script : scripts_) {
        SocketHandle connection = kNoSocketHandle;
        while (connection == kNoSocketHandle && waitFor(listener_, POLLIN, milliseconds(-1))) {
            connection = acceptConnection(listener_, true);
        }
        if (connection == kNoSocketHandle) {
            break;
        }
        update([this] { ++accepted_; });
        serve(connection, script);
        update([this] { ++finished_; });
    }
    update([this] { done_ = true; });
}

void LoopbackServer::serve(SocketHandle connection, const Script& script) {
    for (const Script::Step& step : script.steps()) {
        bool carryOn = !stopping_;
        std::string got;
        switch (step.kind) {
            case Script::Kind::Read:
                carryOn = carryOn && readExactly(connection, step.count, got);
                record(std::move(got));
                break;
            case Script::Kind::ReadFrame: {
                carryOn = carryOn && readExactly(connection, kFrameLengthDigits, got);
                const long body = carryOn ? frameBodyLength(got) : -1;
                carryOn = body >= 0 && readExactly(connection, static_cast<std::size_t>(body), got);
                record(std::move(got));
                break;
            }
            case Script::Kind::ReadToEnd:
                carryOn = carryOn && readToEnd(connection, got);
                record(std::move(got));
                break;
            case Script::Kind::Send: {
                const std::size_t piece = step.count == 0 ? step.bytes.size() : step.count;
                for (std::size_t at = 0; carryOn && at < step.bytes.size(); at += piece) {
                    if (at > 0) {
                        waitFor(kNoSocketHandle, 0, step.duration);
                        carryOn = !stopping_;
                    }
                    carryOn = carryOn && sendAllBytes(connection, step.bytes.substr(at, piece));
                }
                break;
            }
            case Script::Kind::Pause:
                waitFor(kNoSocketHandle, 0, step.duration);
                break;
            case Script::Kind::Reset: {
                const linger abort{1, 0};
                ::setsockopt(connection, SOL_SOCKET, SO_LINGER,
                             reinterpret_cast<const char*>(&abort), sizeof abort);
                carryOn = false;
                break;
            }
        }
        if (!carryOn) {
            break;
        }
    }
    closeSocketHandle(connection);
}

bool LoopbackServer::readExactly(SocketHandle connection, std::size_t n, std::string& into) {
    char chunk[65536];
    std::size_t left = n;
    while (left > 0) {
        const auto r = ::recv(connection, chunk, left < sizeof chunk ? left : sizeof chunk, 0);
        if (r > 0) {
            into.append(chunk, static_cast<std::size_t>(r));
            left -= static_cast<std::size_t>(r);
        } else if (r == 0 || !isRetryableSocketError(lastSocketError()) ||
                   !waitFor(connection, POLLIN, ioLimit_)) {
            return false;
        }
    }
    return true;
}

bool LoopbackServer::readToEnd(SocketHandle connection, std::string& into) {
    char chunk[65536];
    for (;;) {
        const auto r = ::recv(connection, chunk, sizeof chunk, 0);
        if (r > 0) {
            into.append(chunk, static_cast<std::size_t>(r));
        } else if (r == 0) {
            return true;
        } else if (!isRetryableSocketError(lastSocketError()) ||
                   !waitFor(connection, POLLIN, ioLimit_)) {
            return false;
        }
    }
}

bool LoopbackServer::sendAllBytes(SocketHandle connection, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const auto r = ::send(connection, bytes.data() + sent, bytes.size() - sent, kSendNoSignal);
        if (r >= 0) {
            sent += static_cast<std::size_t>(r);
        } else if (!isRetryableSocketError(lastSocketError()) ||
                   !waitFor(connection, POLLOUT, ioLimit_)) {
            return false;
        }
    }
    return true;
}

bool LoopbackServer::waitFor(SocketHandle fd, short events, milliseconds limit) {
    const bool bounded = limit.count() >= 0;
    const Clock::time_point deadline = Clock::now() + (bounded ? limit : milliseconds(0));
    for (;;) {
        if (stopping_) {
            return false;
        }
        int timeout = -1;
        if (bounded) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
            timeout = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd entries[2] = {{wake_[0], POLLIN, 0}, {fd, events, 0}};
        const int r = pollSockets(entries, 2, timeout);
        if (r < 0 && !isRetryableSocketError(lastSocketError())) {
            return false;
        }
        if (r > 0) {
            if (entries[0].revents != 0) {
                return false;
            }
            if (entries[1].revents != 0) {
                return true;
            }
        }
        if (r == 0 && bounded && Clock::now() >= deadline) {
            return false;
        }
    }
}

void LoopbackServer::record(std::string bytes) {
    update([&] { received_.push_back(std::move(bytes)); });
}

RefusingPort::RefusingPort(const std::string& address, std::uint16_t port)
    : socket_(boundSocket(address, port, false)) {
    if (socket_ != kNoSocketHandle) {
        port_ = localPort(socket_);
    }
}

RefusingPort::~RefusingPort() {
    closeSocketHandle(socket_);
}

StalledListener::StalledListener(const std::string& address) {
    listener_ = boundSocket(address, 0, false);
    if (listener_ == kNoSocketHandle || ::listen(listener_, 0) != 0) {
        return;
    }
    port_ = localPort(listener_);
    sockaddr_in to{};
    loopbackAddress(address, port_, &to);
    // Fill the accept queue until a connect hangs; a connect that is refused or
    // fails otherwise leaves the listener unusable for the purpose.
    for (int i = 0; i <= kMaxStallFillers; ++i) {
        const SocketHandle probe = openTcpSocket(true);
        if (probe == kNoSocketHandle) {
            return;
        }
        if (::connect(probe, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            fillers_.push_back(probe);
            continue;
        }
        if (!isConnectInProgress(lastSocketError())) {
            closeSocketHandle(probe);
            return;
        }
        pollfd entry{probe, POLLOUT, 0};
        const int r = pollSockets(&entry, 1, kStallProbeMillis);
        if (r == 0) {
            closeSocketHandle(probe);
            stalled_ = true;
            return;
        }
        int pending = -1;
        socklen_t len = sizeof pending;
        if (r < 0 ||
            ::getsockopt(probe, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &len) !=
                0 ||
            pending != 0) {
            closeSocketHandle(probe);
            return;
        }
        fillers_.push_back(probe);
    }
}

StalledListener::~StalledListener() {
    for (const SocketHandle fd : fillers_) {
        closeSocketHandle(fd);
    }
    closeSocketHandle(listener_);
}

}  // namespace otpcli::test
