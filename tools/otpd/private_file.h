// Reading a file that holds secrets (the sites' key material): refused unless
// it belongs to the user running otpd and nobody else can write it, as ssh
// treats its keys.
#pragma once

#include <optional>
#include <string>

namespace otpd {

// Files larger than this are refused: a site file holds a few short lines.
inline constexpr std::size_t kMaxPrivateFileBytes = 1 << 20;

// The contents of path, which must be a regular file or a pipe (standard
// input), owned by the effective user and writable by nobody else. nullopt
// with the reason in error otherwise; warning is set when group or others may
// read it. The caller wipes the contents when done.
std::optional<std::string> readPrivateFile(const std::string& path, std::string& error,
                                           std::string& warning);

}  // namespace otpd
