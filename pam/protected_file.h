// Reading the module's files with the ownership and permission checks that
// keep another local user from reading the secrets or steering the module.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "secret.h"

namespace otpcli::pam {

enum class FileKind {
    // The configuration: no secrets, but whoever can change it chooses the
    // servers; so no write permission for group or others.
    Settings,
    // The key file and the user map: no permission at all for group or others.
    Secret,
};

// The owner the files must have: root in the installed module.
uid_t requiredOwner() noexcept;

// Reads the whole regular file at path, at most maxBytes long, into out after
// checking, on the opened descriptor, that it is owned by requiredOwner() and
// has no permission bits that kind forbids. False with a reason in error (no
// file content in it) otherwise.
bool readProtectedFile(const std::string& path, FileKind kind, std::size_t maxBytes,
                       SecretBytes& out, std::string& error);

}  // namespace otpcli::pam
