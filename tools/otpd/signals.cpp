#include "signals.h"

#include <csignal>
#include <string>

namespace otpd {

SignalHandling::SignalHandling(asio::io_context& io, Server& server, Outbox& outbox,
                               std::ostream& log)
    : io_(io), signals_(io, SIGINT, SIGTERM, SIGHUP), server_(server), outbox_(outbox), log_(log) {
    await();
}

void SignalHandling::await() {
    signals_.async_wait([this](const asio::error_code& ec, int signal) {
        if (!ec) {
            handle(signal);
        }
    });
}

void SignalHandling::handle(int signal) {
    if (signal == SIGHUP) {
        log_ << "otpd: signal " << signal << ", reopening the outbox\n";
        std::string error;
        if (!outbox_.open(error)) {
            log_ << "otpd: " << error << '\n';
        }
    } else if (stopping_) {
        log_ << "otpd: signal " << signal << " again, stopping now\n" << std::flush;
        io_.stop();
        return;
    } else {
        log_ << "otpd: signal " << signal << ", stopping\n";
        stopping_ = true;
        // Once no connection is left, nothing but this wait keeps the loop.
        server_.stop([this] {
            idle_ = true;
            signals_.cancel();
        });
    }
    log_ << std::flush;
    if (!idle_) {
        await();
    }
}

}  // namespace otpd
