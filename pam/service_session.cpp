#include "service_session.h"

namespace otpcli::pam {

ServiceSession::ServiceSession(const Settings& settings) : settings_(settings) {
    if (otpcli_create(&client_) != OTPCLI_OK) {
        client_ = nullptr;
    }
}

ServiceSession::~ServiceSession() {
    otpcli_destroy(client_);
}

bool ServiceSession::configure(const char* key) {
    return client_ != nullptr &&
           otpcli_init(client_, settings_.port, settings_.site.c_str(), key) == OTPCLI_OK &&
           otpcli_set_connect_timeout(client_, settings_.connectTimeout) == OTPCLI_OK;
}

Outcome ServiceSession::lastOutcome() const {
    const char* code = "";
    const char* message = "";
    otpcli_result_code(client_, &code);
    otpcli_result_message(client_, &message);
    return {code, message};
}

template <typename Request>
Outcome ServiceSession::withFailover(Request request) {
    // The server table is the library's, shared by the whole process; each
    // attempt starts from the configured primary.
    const char* primary = settings_.primaryHost.c_str();
    const char* backup = settings_.backupHost.c_str();
    otpcli_set_server_hosts(primary, backup);
    request();
    Outcome outcome = lastOutcome();
    if (outcome.code == "N001" && settings_.backupHost != settings_.primaryHost) {
        otpcli_set_server_hosts(backup, primary);
        request();
        outcome = lastOutcome();
    }
    return outcome;
}

Outcome ServiceSession::deliver(const UserEntry& user) {
    return withFailover([&] {
        otpcli_reissue(client_, user.identity.data(), OTPCLI_IDENTITY_TEXT, user.code.c_str(),
                       user.value.c_str());
    });
}

Outcome ServiceSession::check(const UserEntry& user, int otp) {
    return withFailover([&] {
        otpcli_auth(client_, user.identity.data(), OTPCLI_IDENTITY_TEXT, otp, OTPCLI_AUTH_LEVEL_1,
                    nullptr);
    });
}

}  // namespace otpcli::pam
