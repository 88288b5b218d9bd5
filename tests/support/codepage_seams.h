// Scoped use of the code-page test seams, undone on every path out of a test.
#pragma once

#include <cstddef>

#include "platform/codepage.h"

namespace otpcli::test {

// This thread has no code page 949 converter while the object lives.
class WithoutConverter {
  public:
    WithoutConverter() { platform::setAnsiConverterUnavailable(true); }
    ~WithoutConverter() { platform::setAnsiConverterUnavailable(false); }
    WithoutConverter(const WithoutConverter&) = delete;
    WithoutConverter& operator=(const WithoutConverter&) = delete;
};

// Every text has the given length on this thread while the object lives.
class WithTextLength {
  public:
    explicit WithTextLength(std::size_t units) { platform::setFakeWideLength(units); }
    ~WithTextLength() { platform::setFakeWideLength(0); }
    WithTextLength(const WithTextLength&) = delete;
    WithTextLength& operator=(const WithTextLength&) = delete;
};

// One unit more than a conversion takes.
inline constexpr std::size_t kUnitsTooMany = platform::kMaxWideUnits + 1;

}  // namespace otpcli::test
