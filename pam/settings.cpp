#include "settings.h"

#include "text_fields.h"

namespace otpcli::pam {
namespace {

bool parseHosts(std::string_view value, Settings& settings) {
    const std::size_t comma = value.find(',');
    const std::string_view primary = trimmed(value.substr(0, comma));
    const std::string_view backup =
        comma == std::string_view::npos ? primary : trimmed(value.substr(comma + 1));
    // Host names and dotted addresses only: no room for a second comma or a blank.
    for (const std::string_view host : {primary, backup}) {
        if (host.empty() || host.size() > 255 ||
            host.find_first_of(", \t") != std::string_view::npos) {
            return false;
        }
    }
    settings.primaryHost = primary;
    settings.backupHost = backup;
    return true;
}

}  // namespace

bool parseSettings(std::string_view text, Settings& settings, std::string& error) {
    bool havePort = false;
    bool haveSite = false;
    bool haveHosts = false;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::string_view line = trimmed(nextLine(text));
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            error = where + "expected name = value";
            return false;
        }
        const std::string_view name = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (name == "port") {
            const std::optional<int> port = boundedNumber(value, 1, 65535);
            if (!port) {
                error = where + "port must be 1 to 65535";
                return false;
            }
            settings.port = *port;
            havePort = true;
        } else if (name == "site") {
            if (value.empty()) {
                error = where + "site is empty";
                return false;
            }
            settings.site = value;
            haveSite = true;
        } else if (name == "hosts") {
            if (!parseHosts(value, settings)) {
                error = where + "hosts must be PRIMARY[,BACKUP]";
                return false;
            }
            haveHosts = true;
        } else if (name == "connect_timeout") {
            const std::optional<int> timeout = boundedNumber(value, 1, 60);
            if (!timeout) {
                error = where + "connect_timeout must be 1 to 60 seconds";
                return false;
            }
            settings.connectTimeout = *timeout;
        } else if (name == "key_file" || name == "user_map") {
            if (value.empty() || value.front() != '/') {
                error = where + std::string(name) + " must be an absolute path";
                return false;
            }
            (name == "key_file" ? settings.keyFile : settings.userMap) = value;
        } else {
            error = where + "unknown setting '" + std::string(name) + "'";
            return false;
        }
    }
    if (!havePort || !haveSite || !haveHosts) {
        error = std::string("missing ") + (!haveHosts ? "hosts" : !havePort ? "port" : "site");
        return false;
    }
    return true;
}

}  // namespace otpcli::pam
