// otpd: a local stand-in for the OTP service, for development and tests.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <asio.hpp>
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "crypto/wipe.h"
#include "memory_records.h"
#include "outbox.h"
#include "private_file.h"
#include "result_codes.h"
#include "server.h"
#include "service.h"
#include "signals.h"
#include "sites.h"
#include "sqlite_records.h"
#include "subscribers.h"

namespace {

struct Options {
    std::string listen = "127.0.0.1";
    int port = -1;
    std::vector<std::string> sites;
    std::vector<std::string> configs;
    std::string outbox;
    std::string state;
    int otpTtl = 180;
    int otpDigits = 6;
    double deadline = 5.0;
    double firstByteDeadline = 1.0;
    std::size_t maxConnections = 256;
    std::size_t maxPerAddress = 0;  // 0: half of maxConnections
    std::size_t maxSubscribers = 100000;
};

constexpr int kUsageError = 2;

bool loadSites(const Options& options, otpd::SiteRegistry& sites) {
    std::string error;
    if (!options.sites.empty()) {
        std::cerr << "otpd: warning: --site puts key material on the command line, where every "
                     "local user can read it (ps, /proc/PID/cmdline); use --config FILE\n";
    }
    for (const std::string& spec : options.sites) {
        if (!sites.add(spec, error)) {
            std::cerr << "otpd: --site: " << error << '\n';
            return false;
        }
    }
    for (const std::string& config : options.configs) {
        std::string warning;
        std::optional<std::string> read = otpd::readPrivateFile(config, error, warning);
        if (!read) {
            std::cerr << "otpd: --config: " << error << '\n';
            return false;
        }
        if (!warning.empty()) {
            std::cerr << "otpd: warning: " << warning << '\n';
        }
        std::string& text = *read;
        const bool added = sites.addAll(std::string_view(text), error);
        otpcli::wipe(text.data(), text.size());
        if (!added) {
            std::cerr << "otpd: " << config << ": " << error << '\n';
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
    // A reader of the log that goes away must not end the service: writes to
    // it then fail, and the streams ignore the failure.
    (void)std::signal(SIGPIPE, SIG_IGN);
    Options options;
    CLI::App app{"Local stand-in for the OTP service: answers the client library's requests."};
    app.add_option("--listen", options.listen, "Address to listen on")->capture_default_str();
    app.add_option("--port", options.port, "TCP port; 0 picks a free one")
        ->required()
        ->check(CLI::Range(0, 65535));
    app.add_option("--site", options.sites,
                   "A known site as ID:KEY (repeatable); every local user can read it: prefer "
                   "--config");
    app.add_option("--config", options.configs,
                   "File with one ID:KEY site per line, yours and writable by you alone "
                   "(repeatable)")
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
    app.add_option("--first-byte-deadline", options.firstByteDeadline,
                   "Seconds a connection may wait for its request's first byte")
        ->capture_default_str()
        ->check(CLI::Range(0.05, 600.0));
    app.add_option("--max-connections", options.maxConnections, "Connections served at once")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000));
    app.add_option("--max-per-address", options.maxPerAddress,
                   "Connections one client address may hold at once (default: half of "
                   "--max-connections)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--max-subscribers", options.maxSubscribers,
                   "Members kept at most; a join beyond is refused with S302")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000000));
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
    std::string outboxError;
    if (!outbox.open(outboxError)) {
        std::cerr << "otpd: --outbox: " << outboxError << '\n';
        return kUsageError;
    }
    otpd::Service service(sites, subscribers, outbox, *messages, std::cerr, options.maxSubscribers);

    try {
        asio::io_context io;
        const asio::ip::tcp::endpoint endpoint(address, static_cast<unsigned short>(options.port));
        const otpd::ServerLimits limits{
            std::chrono::milliseconds(static_cast<long>(options.deadline * 1000)),
            std::chrono::milliseconds(static_cast<long>(options.firstByteDeadline * 1000)),
            options.maxConnections,
            options.maxPerAddress != 0 ? options.maxPerAddress
                                       : std::max<std::size_t>(1, options.maxConnections / 2)};
        otpd::Server server(io, endpoint, service, limits, std::cerr);

        const otpd::SignalHandling signals(io, server, outbox, std::cerr);

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
