#include "server.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <utility>

#include "request_frame.h"

namespace otpd {

using asio::ip::tcp;

// Connections under way, in all and per peer address. When the server has
// stopped, the last one to end runs whenIdle.
class ConnectionCount {
  public:
    std::size_t total() const { return total_; }
    std::size_t of(const asio::ip::address& peer) const {
        const auto it = perAddress_.find(peer);
        return it == perAddress_.end() ? 0 : it->second;
    }
    void add(const asio::ip::address& peer) {
        ++total_;
        ++perAddress_[peer];
    }
    void remove(const asio::ip::address& peer) {
        --total_;
        const auto it = perAddress_.find(peer);
        if (it != perAddress_.end() && --it->second == 0) {
            perAddress_.erase(it);
        }
        if (total_ == 0) {
            runWhenIdle();
        }
    }
    void setWhenIdle(std::function<void()> whenIdle) {
        whenIdle_ = std::move(whenIdle);
        if (total_ == 0) {
            runWhenIdle();
        }
    }

  private:
    void runWhenIdle() {
        if (whenIdle_) {
            const std::function<void()> f = std::move(whenIdle_);
            whenIdle_ = nullptr;
            f();
        }
    }

    std::size_t total_ = 0;
    std::map<asio::ip::address, std::size_t> perAddress_;
    std::function<void()> whenIdle_;
};

namespace {

constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

std::string describe(const tcp::endpoint& endpoint) {
    std::string address = endpoint.address().to_string();
    if (endpoint.address().is_v6()) {
        address = "[" + address + "]";
    }
    return address + ":" + std::to_string(endpoint.port());
}

// The address a peer is counted under: an IPv4 client of a dual-stack socket
// counts as its IPv4 address.
asio::ip::address peerKey(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    }
    return address;
}

struct SessionLimits {
    std::chrono::milliseconds deadline;
    std::chrono::milliseconds firstByte;
};

// One connection: read the length field, then the body it announces, answer,
// and wait for the client to close before closing too, so that the reply is
// not lost to a reset. The deadline timer closes the socket whatever the
// connection is waiting for; the first-byte timer closes it earlier when the
// client has sent nothing.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, const tcp::endpoint& remote, Service& service, SessionLimits limits,
            std::shared_ptr<ConnectionCount> connections)
        : socket_(std::move(socket)),
          timer_(socket_.get_executor()),
          firstByteTimer_(socket_.get_executor()),
          service_(service),
          limits_(limits),
          connections_(std::move(connections)),
          key_(peerKey(remote.address())),
          peer_(describe(remote)) {
        connections_->add(key_);
    }
    ~Session() { connections_->remove(key_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void start() {
        timer_.expires_after(limits_.deadline);
        timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec) {
                self->close();
            }
        });
        firstByteTimer_.expires_after(std::min(limits_.firstByte, limits_.deadline));
        firstByteTimer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec && !self->started_) {
                self->close();
            }
        });
        frame_.resize(kLengthFieldBytes);
        socket_.async_read_some(
            asio::buffer(frame_),
            [self = shared_from_this()](const asio::error_code& ec, std::size_t got) {
                if (ec) {
                    self->finish();
                    return;
                }
                self->started_ = true;
                self->firstByteTimer_.cancel();
                self->readRestOfLengthField(got);
            });
    }

  private:
    void readRestOfLengthField(std::size_t got) {
        if (got == kLengthFieldBytes) {
            readBody();
            return;
        }
        asio::async_read(socket_, asio::buffer(frame_.data() + got, kLengthFieldBytes - got),
                         [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                             if (!ec) {
                                 self->readBody();
                             } else {
                                 self->finish();
                             }
                         });
    }

    void readBody() {
        const int announced = readLengthField(frame_);
        if (announced < 0 || static_cast<std::size_t>(announced) > kMaxAnnouncedBody) {
            send(service_.refuseLengthField(frame_, peer_));
            return;
        }
        frame_.resize(kLengthFieldBytes + static_cast<std::size_t>(announced));
        asio::async_read(socket_, asio::buffer(frame_.data() + kLengthFieldBytes, announced),
                         [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                             if (!ec) {
                                 self->send(self->service_.answer(self->frame_, self->peer_));
                             } else {
                                 self->finish();
                             }
                         });
    }

    void send(std::string reply) {
        reply_ = std::move(reply);
        asio::async_write(socket_, asio::buffer(reply_),
                          [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                              if (ec) {
                                  self->finish();
                                  return;
                              }
                              asio::error_code ignored;
                              self->socket_.shutdown(tcp::socket::shutdown_send, ignored);
                              self->drain();
                          });
    }

    void drain() {
        socket_.async_read_some(
            asio::buffer(scratch_),
            [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                if (!ec) {
                    self->drain();
                } else {
                    self->finish();
                }
            });
    }

    void close() {
        asio::error_code ignored;
        socket_.close(ignored);
    }

    void finish() {
        timer_.cancel();
        firstByteTimer_.cancel();
        close();
    }

    tcp::socket socket_;
    asio::steady_timer timer_;
    asio::steady_timer firstByteTimer_;
    Service& service_;
    SessionLimits limits_;
    std::shared_ptr<ConnectionCount> connections_;
    asio::ip::address key_;
    std::string peer_;
    bool started_ = false;
    std::string frame_;
    std::string reply_;
    std::array<char, 512> scratch_{};
};

}  // namespace

Server::Server(asio::io_context& io, const tcp::endpoint& endpoint, Service& service,
               ServerLimits limits, std::ostream& log)
    : acceptor_(io, endpoint),
      retry_(io),
      report_(io),
      service_(service),
      limits_(limits),
      log_(log),
      connections_(std::make_shared<ConnectionCount>()) {
    accept();
}

// Sessions still queued on the event loop may outlive the server; they must
// not call back into a caller that is gone.
Server::~Server() {
    connections_->setWhenIdle({});
}

void Server::stop(std::function<void()> whenIdle) {
    asio::error_code ignored;
    acceptor_.close(ignored);
    retry_.cancel();
    report_.cancel();
    reportRefusals();
    connections_->setWhenIdle(std::move(whenIdle));
}

void Server::accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_.is_open()) {
            return;
        }
        if (ec) {
            // Out of descriptors and the like: try again shortly rather than spin.
            lastAcceptError_ = ec.message();
            countRefusal(acceptFailures_);
            retry_.expires_after(kAcceptRetry);
            retry_.async_wait([this](const asio::error_code& waited) {
                if (!waited) {
                    accept();
                }
            });
            return;
        }
        admit(std::move(socket));
        accept();
    });
}

void Server::admit(tcp::socket socket) {
    asio::error_code ec;
    const tcp::endpoint remote = socket.remote_endpoint(ec);
    if (ec) {
        return;  // already reset by the client; the socket closes here
    }
    if (connections_->total() >= limits_.maxConnections) {
        countRefusal(overTotal_);
        return;
    }
    if (connections_->of(peerKey(remote.address())) >= limits_.maxPerAddress) {
        countRefusal(overAddress_);
        return;
    }
    std::make_shared<Session>(std::move(socket), remote, service_,
                              SessionLimits{limits_.deadline, limits_.firstByte}, connections_)
        ->start();
}

void Server::countRefusal(std::size_t& counter) {
    ++counter;
    if (reportPending_) {
        return;
    }
    reportPending_ = true;
    report_.expires_after(limits_.refusalReport);
    report_.async_wait([this](const asio::error_code& ec) {
        if (!ec) {
            reportRefusals();
        }
    });
}

void Server::reportRefusals() {
    reportPending_ = false;
    const std::size_t refused = overTotal_ + overAddress_;
    if (refused > 0) {
        log_ << "otpd: " << refused << " connection(s) refused: " << overTotal_ << " over "
             << limits_.maxConnections << " at once, " << overAddress_ << " over "
             << limits_.maxPerAddress << " from one address\n";
    }
    if (acceptFailures_ > 0) {
        log_ << "otpd: accept failed " << acceptFailures_ << " time(s): " << lastAcceptError_
             << '\n';
    }
    log_ << std::flush;
    overTotal_ = 0;
    overAddress_ = 0;
    acceptFailures_ = 0;
}

}  // namespace otpd
