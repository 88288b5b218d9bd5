// The configuration file: what the sites's servers are and where the key
// file and the user map are. One "name = value" per line; blank lines and
// lines starting with '#' are skipped.
#pragma once

#include <string>
#include <string_view>

namespace otpcli::pam {

inline constexpr char kDefaultConfigPath[] = "/etc/otpcli/pam.conf";

struct Settings {
    std::string primaryHost;  // hosts = PRIMARY[,BACKUP], required
    std::string backupHost;   // the primary again when only one is named
    int port = 0;             // port = 1..65535, required
    std::string site;         // site = the site identifier, required
    int connectTimeout = 5;   // connect_timeout = 1..60 seconds
    std::string keyFile = "/etc/otpcli/pam.key";
    std::string userMap = "/etc/otpcli/pam.users";
};

// Parses the file's text; false with "line N: reason" in error.
bool parseSettings(std::string_view text, Settings& settings, std::string& error);

}  // namespace otpcli::pam
