// The SHA-1 compression function over whole 64-byte blocks: portable code, and
// code for the x86 SHA extensions, chosen once per process by what the
// processor offers. Both give the same chaining words for the same blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace otpcli::sha1 {

// Compresses `blocks` consecutive 64-byte blocks into the chaining words, with
// the fastest code this processor runs.
void compress(std::uint32_t (&state)[5], const unsigned char* data, std::size_t blocks) noexcept;

// The portable compression.
void compressPortable(std::uint32_t (&state)[5], const unsigned char* data,
                      std::size_t blocks) noexcept;

// True when this build and processor have the SHA extensions (with SSSE3 and
// SSE4.1), so that compressShaExtensions may run.
bool haveShaExtensions() noexcept;
// The compression with the SHA extensions; only when haveShaExtensions().
void compressShaExtensions(std::uint32_t (&state)[5], const unsigned char* data,
                           std::size_t blocks) noexcept;

}  // namespace otpcli::sha1
