#include "server.h"

#include <array>
#include <string>

#include "request_frame.h"

namespace otpd {
namespace {

using asio::ip::tcp;

constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

std::string describe(const tcp::endpoint& endpoint) {
    std::string address = endpoint.address().to_string();
    if (endpoint.address().is_v6()) {
        address = "[" + address + "]";
    }
    return address + ":" + std::to_string(endpoint.port());
}

// One connection: read the length field, then the body it announces, answer,
// and wait for the client to close before closing too, so that the reply is
// not lost to a reset. The deadline timer closes the socket whatever the
// connection is waiting for.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, Service& service, std::chrono::milliseconds deadline,
            std::shared_ptr<std::size_t> active)
        : socket_(std::move(socket)),
          timer_(socket_.get_executor()),
          service_(service),
          deadline_(deadline),
          active_(std::move(active)) {
        ++*active_;
        asio::error_code ec;
        const tcp::endpoint remote = socket_.remote_endpoint(ec);
        peer_ = ec ? std::string("?") : describe(remote);
    }
    ~Session() { --*active_; }

    void start() {
        timer_.expires_after(deadline_);
        timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
            if (!ec) {
                asio::error_code ignored;
                self->socket_.close(ignored);
            }
        });
        frame_.resize(kLengthFieldBytes);
        asio::async_read(socket_, asio::buffer(frame_),
                         [self = shared_from_this()](const asio::error_code& ec, std::size_t) {
                             if (!ec) {
                                 self->readBody();
                             } else {
                                 self->finish();
                             }
                         });
    }

  private:
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

    void finish() {
        asio::error_code ignored;
        timer_.cancel();
        socket_.close(ignored);
    }

    tcp::socket socket_;
    asio::steady_timer timer_;
    Service& service_;
    std::chrono::milliseconds deadline_;
    std::shared_ptr<std::size_t> active_;
    std::string peer_;
    std::string frame_;
    std::string reply_;
    std::array<char, 512> scratch_{};
};

}  // namespace

Server::Server(asio::io_context& io, const tcp::endpoint& endpoint, Service& service,
               ServerLimits limits, std::ostream& log)
    : acceptor_(io, endpoint),
      retry_(io),
      service_(service),
      limits_(limits),
      log_(log),
      active_(std::make_shared<std::size_t>(0)) {
    accept();
}

void Server::stop() {
    asio::error_code ignored;
    acceptor_.close(ignored);
    retry_.cancel();
}

void Server::accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_.is_open()) {
            return;
        }
        if (ec) {
            // Out of descriptors and the like: try again shortly rather than spin.
            log_ << "otpd: accept failed: " << ec.message() << '\n' << std::flush;
            retry_.expires_after(kAcceptRetry);
            retry_.async_wait([this](const asio::error_code& waited) {
                if (!waited) {
                    accept();
                }
            });
            return;
        }
        if (*active_ >= limits_.maxConnections) {
            log_ << "otpd: too many connections, one refused\n" << std::flush;
            asio::error_code ignored;
            socket.close(ignored);
        } else {
            std::make_shared<Session>(std::move(socket), service_, limits_.deadline, active_)
                ->start();
        }
        accept();
    });
}

}  // namespace otpd
