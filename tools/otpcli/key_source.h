// Where the site's key material comes from: a file or the environment, never
// the command line, where other users could read it.
#pragma once

#include <optional>
#include <string>

namespace otpcli_tool {

inline constexpr const char* kKeyVariable = "OTPCLI_KEY";

// The key material from keyFile when one is named (its contents less trailing
// line ends), else from OTPCLI_KEY; nullopt with a reason in error when the
// file cannot be read or neither is there.
std::optional<std::string> readKeyMaterial(const std::string& keyFile, std::string& error);

}  // namespace otpcli_tool
