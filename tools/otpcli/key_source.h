// Where the site's key material comes from: a file or the environment, never
// the command line, where other users could read it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace otpcli_tool {

inline constexpr const char* kKeyVariable = "OTPCLI_KEY";

// The most a key file may hold: key material takes at most 32 bytes in code
// page 949, each from at most four bytes of UTF-8, plus a final CR LF.
inline constexpr std::size_t kMaxKeyFileBytes = 32 * 4 + 2;

// The key material from keyFile when one is named (its contents less trailing
// line ends), else from OTPCLI_KEY. nullopt with a reason in error when the
// file is not a regular file, cannot be read or is longer than a key can be,
// when the key is empty, or when neither is there. warning is set when the
// file may be read by group or others.
std::optional<std::string> readKeyMaterial(const std::string& keyFile, std::string& error,
                                           std::string& warning);

// Overwrites text with zeros, in a way the compiler keeps.
void wipe(std::string& text) noexcept;
void wipe(std::u16string& text) noexcept;

}  // namespace otpcli_tool
