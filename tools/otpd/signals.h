// What signals do to a running otpd. SIGHUP opens the outbox again (after it
// was moved away for rotation). The first SIGINT or SIGTERM stops accepting
// and lets the connections under way end within their deadline, after which
// the event loop runs out; a second one stops the loop at once.
#pragma once

#include <asio.hpp>
#include <ostream>

#include "outbox.h"
#include "server.h"

namespace otpd {

class SignalHandling {
  public:
    SignalHandling(asio::io_context& io, Server& server, Outbox& outbox, std::ostream& log);

  private:
    void await();
    void handle(int signal);

    asio::io_context& io_;
    asio::signal_set signals_;
    Server& server_;
    Outbox& outbox_;
    std::ostream& log_;
    bool stopping_ = false;
    bool idle_ = false;
};

}  // namespace otpd
