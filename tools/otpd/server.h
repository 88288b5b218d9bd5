// The network side: accepts connections on an Asio event loop and runs one
// request and one reply over each, within a deadline.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <memory>
#include <ostream>

#include "service.h"

namespace otpd {

struct ServerLimits {
    // Time a connection may take from accept to its reply being sent.
    std::chrono::milliseconds deadline{5000};
    // Connections served at once; more are closed on accept.
    std::size_t maxConnections = 256;
};

class Server {
  public:
    Server(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint, Service& service,
           ServerLimits limits, std::ostream& log);

    asio::ip::tcp::endpoint localEndpoint() const { return acceptor_.local_endpoint(); }
    // Stops accepting; connections under way run to their end or deadline.
    void stop();

  private:
    void accept();

    asio::ip::tcp::acceptor acceptor_;
    asio::steady_timer retry_;
    Service& service_;
    ServerLimits limits_;
    std::ostream& log_;
    std::shared_ptr<std::size_t> active_;
};

}  // namespace otpd
