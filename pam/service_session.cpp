#include "service_session.h"

namespace otpcli::pam {
namespace {

const unsigned short* units(const char16_t* text) {
    return reinterpret_cast<const unsigned short*>(text);
}

}  // namespace

ServiceSession::~ServiceSession() {
    client_.init(settings_.port, site_, units(u""));
}

bool ServiceSession::configure(std::span<const char16_t> key) {
    if (client_.init(settings_.port, site_, units(key.data())) != S_OK) {
        return false;
    }
    client_.setConnectTimeout(settings_.connectTimeout);
    return true;
}

template <typename Request>
Outcome ServiceSession::withFailover(Request request) {
    // The server table is the library's, shared by the whole process; each
    // attempt starts from the configured primary.
    const Text primary(settings_.primaryHost);
    const Text backup(settings_.backupHost);
    OTPCLI::setServerHosts(primary, backup);
    request();
    Outcome outcome = lastOutcome(client_);
    if (outcome.code == "N001" && settings_.backupHost != settings_.primaryHost) {
        OTPCLI::setServerHosts(backup, primary);
        request();
        outcome = lastOutcome(client_);
    }
    return outcome;
}

Outcome ServiceSession::deliver(const UserEntry& user) {
    const Text code(user.code);
    const Text value(user.value);
    return withFailover([&] { client_.reqReissue(units(user.identity.data()), 1, code, value); });
}

Outcome ServiceSession::check(const UserEntry& user, int otp) {
    return withFailover([&] {
        client_.reqAuth(units(user.identity.data()), 1, otp, OTPCLI::AUTH_LEVEL_1, nullptr);
    });
}

}  // namespace otpcli::pam
