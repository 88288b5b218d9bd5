// Returned strings with the usual layout: a 32-bit byte count, the UTF-16
// units, then a zero unit. The string pointer addresses the first unit.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <otpcli/otpcli.h>

namespace {
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
}

extern "C" {

BSTR SysAllocStringLen(const OLECHAR* text, unsigned int len) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(len) * sizeof(OLECHAR);
    if (bytes > UINT32_MAX - kPrefix - sizeof(OLECHAR)) {
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (block == nullptr) {
        return nullptr;
    }
    const auto count = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &count, kPrefix);
    auto* units = reinterpret_cast<OLECHAR*>(block + kPrefix);
    if (text != nullptr) {
        std::memcpy(units, text, bytes);
    } else {
        std::memset(units, 0, bytes);
    }
    units[len] = 0;
    return units;
}

void SysFreeString(BSTR text) {
    if (text != nullptr) {
        std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
    }
}

unsigned int SysStringLen(BSTR text) {
    if (text == nullptr) {
        return 0;
    }
    std::uint32_t count = 0;
    std::memcpy(&count, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
    return count / sizeof(OLECHAR);
}

}  // extern "C"
