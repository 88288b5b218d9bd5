// otpd: a local stand-in for the OTP service, for development and tests.
#include <CLI/CLI.hpp>
#include <asio.hpp>
#include <csignal>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "memory_records.h"
#include "outbox.h"
#include "result_codes.h"
#include "server.h"
#include "service.h"
#include "sites.h"
#include "sqlite_records.h"
#include "subscribers.h"

namespace {

struct Options {
    std::string listen = "127.0.0.1";
    int port = -1;
    std::vector<std::string> sites;
    std::string config;
    std::string outbox;
    std::string state;
    int otpTtl = 180;
    int otpDigits = 6;
    double deadline = 5.0;
    std::size_t maxConnections = 256;
};

constexpr int kUsageError = 2;

bool loadSites(const Options& options, otpd::SiteRegistry& sites) {
    std::string error;
    for (const std::string& spec : options.sites) {
        if (!sites.add(spec, error)) {
            std::cerr << "otpd: --site: " << error << '\n';
            return false;
        }
    }
    if (!options.config.empty()) {
        std::ifstream file(options.config);
        if (!file) {
            std::cerr << "otpd: cannot read " << options.config << '\n';
            return false;
        }
        if (!sites.addAll(file, error)) {
            std::cerr << "otpd: " << options.config << ": " << error << '\n';
            return false;
        }
    }
    if (sites.size() == 0) {
        std::cerr << "otpd: no site given (--site ID:KEY or --config FILE)\n";
        return false;
    }
    return true;
}

// The subscriber records: in the state file when one is given, else in memory.
// Nullptr, after saying why, when the state file cannot be used.
std::unique_ptr<otpd::SubscriberRecords> openRecords(const std::string& state) {
    if (state.empty()) {
        return std::make_unique<otpd::MemoryRecords>();
    }
    std::string error;
    std::unique_ptr<otpd::SubscriberRecords> records =
        otpd::SqliteRecords::open(state, std::cerr, error);
    if (!records) {
        std::cerr << "otpd: --state " << state << ": " << error << '\n';
    }
    return records;
}

// Expiry times in a state file are wall-clock times, as they must outlive the
// process and the machine's uptime; in memory, a steady clock ignores changes
// of the system time.
template <typename Clock>
std::int64_t millisecondsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

int run(int argc, char** argv) {
    Options options;
    CLI::App app{"Local stand-in for the OTP service: answers the client library's requests."};
    app.add_option("--listen", options.listen, "Address to listen on")->capture_default_str();
    app.add_option("--port", options.port, "TCP port; 0 picks a free one")
        ->required()
        ->check(CLI::Range(0, 65535));
    app.add_option("--site", options.sites, "A known site as ID:KEY (repeatable)");
    app.add_option("--config", options.config, "File with one ID:KEY site per line")
        ->check(CLI::ExistingFile);
    app.add_option("--outbox", options.outbox, "File that receives one line per issued OTP");
    app.add_option("--state", options.state,
                   "SQLite file that keeps subscribers, OTPs and error counts across restarts and "
                   "crashes; without it they live in memory and nothing survives otpd");
    app.add_option("--otp-ttl", options.otpTtl, "Seconds an issued OTP stays valid")
        ->capture_default_str()
        ->check(CLI::Range(1, 86400));
    app.add_option("--otp-digits", options.otpDigits, "Digits of an issued OTP")
        ->capture_default_str()
        ->check(CLI::IsMember({6, 7}));
    app.add_option("--deadline", options.deadline, "Seconds a connection may last")
        ->capture_default_str()
        ->check(CLI::Range(0.05, 600.0));
    app.add_option("--max-connections", options.maxConnections, "Connections served at once")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : kUsageError;
    }

    asio::error_code badAddress;
    const asio::ip::address address = asio::ip::make_address(options.listen, badAddress);
    if (badAddress) {
        std::cerr << "otpd: --listen: '" << options.listen << "' is not an IP address\n";
        return kUsageError;
    }
    otpd::SiteRegistry sites;
    if (!loadSites(options, sites)) {
        return kUsageError;
    }
    const std::optional<otpd::MessageTable> messages = otpd::MessageTable::load();
    if (!messages) {
        std::cerr << "otpd: cannot convert messages to code page 949 (iconv)\n";
        return 1;
    }

    const std::unique_ptr<otpd::SubscriberRecords> records = openRecords(options.state);
    if (!records) {
        return 1;
    }
    std::random_device entropy;
    otpd::SubscriberStore subscribers(
        *records, {options.otpDigits, std::chrono::seconds(options.otpTtl)},
        options.state.empty() ? millisecondsNow<std::chrono::steady_clock>
                              : millisecondsNow<std::chrono::system_clock>,
        [&entropy](std::uint32_t bound) {
            return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(entropy);
        });
    otpd::Outbox outbox(options.outbox, std::cerr);
    otpd::Service service(sites, subscribers, outbox, *messages, std::cerr);

    try {
        asio::io_context io;
        const asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(options.port));
        const otpd::ServerLimits limits{
            std::chrono::milliseconds(static_cast<long>(options.deadline * 1000)),
            options.maxConnections};
        otpd::Server server(io, endpoint, service, limits, std::cerr);

        asio::signal_set signals(io, SIGINT, SIGTERM);
        signals.async_wait([&](const asio::error_code& ec, int signal) {
            if (!ec) {
                std::cerr << "otpd: signal " << signal << ", stopping\n";
                server.stop();
                io.stop();
            }
        });

        const asio::ip::tcp::endpoint bound = server.localEndpoint();
        std::string address = bound.address().to_string();
        if (bound.address().is_v6()) {
            address = "[" + address + "]";
        }
        std::cout << "listening " << address << ':' << bound.port() << std::endl;
        io.run();
    } catch (const std::exception& e) {
        std::cerr << "otpd: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    // Nothing the tool does should throw past here; if something does, say so
    // instead of terminating without a word.
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "error: unexpected failure\n";
    }
    return 1;
}
