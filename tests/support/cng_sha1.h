// SHA-1 by the system's own implementation (Windows CNG): an independent
// reference for tests on Windows, where OpenSSL is not at hand.
#pragma once

#include <array>
#include <cstddef>

namespace otpcli::test {

// The digest of size bytes; throws std::runtime_error when CNG fails.
std::array<unsigned char, 20> cngSha1(const void* data, std::size_t size);

}  // namespace otpcli::test
