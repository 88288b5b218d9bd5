// The network side: accepts connections on an Asio event loop and runs one
// request and one reply over each, within a deadline.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "service.h"

namespace otpd {

struct ServerLimits {
    // Time a connection may take from accept to its reply being sent.
    std::chrono::milliseconds deadline{5000};
    // Time from accept to the first byte of the request: a client sends its
    // frame as soon as it is connected, so an idle connection goes early.
    std::chrono::milliseconds firstByte{1000};
    // Connections served at once; more are closed on accept.
    std::size_t maxConnections = 256;
    // Connections one peer address may hold at once; more are closed on
    // accept, so that one host cannot take every slot.
    std::size_t maxPerAddress = 128;
    // Refused connections are counted and logged as one line per interval.
    std::chrono::milliseconds refusalReport{5000};
};

// The connections under way, shared by the server and its sessions.
class ConnectionCount;

class Server {
  public:
    Server(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint, Service& service,
           ServerLimits limits, std::ostream& log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    asio::ip::tcp::endpoint localEndpoint() const { return acceptor_.local_endpoint(); }
    // Stops accepting; connections under way run to their end or deadline,
    // then whenIdle runs (at once when none is under way).
    void stop(std::function<void()> whenIdle = {});

  private:
    void accept();
    void admit(asio::ip::tcp::socket socket);
    void countRefusal(std::size_t& counter);
    void reportRefusals();

    asio::ip::tcp::acceptor acceptor_;
    asio::steady_timer retry_;
    asio::steady_timer report_;
    Service& service_;
    ServerLimits limits_;
    std::ostream& log_;
    std::shared_ptr<ConnectionCount> connections_;
    // Refusals since the last report.
    std::size_t overAddress_ = 0;
    std::size_t overTotal_ = 0;
    std::size_t acceptFailures_ = 0;
    std::string lastAcceptError_;
    bool reportPending_ = false;
};

}  // namespace otpd
