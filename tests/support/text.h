// Text helpers for tests: UTF-16 literals in and out of the library's types.
#pragma once

#include <string>
#include <string_view>

#include <otpcli/otpcli.h>

namespace otpcli::test {

// A UTF-16 argument as the library takes it.
inline const unsigned short* w(const std::u16string& text) {
    return reinterpret_cast<const unsigned short*>(text.c_str());
}

// UTF-8 text as UTF-16.
std::u16string utf16(std::string_view utf8);
// UTF-8 text as code page 949 bytes, converted independently of the library (iconv;
// the system's converters on Windows).
std::string cp949(std::string_view utf8);

// Takes ownership of a returned string: its contents as UTF-16, then frees it.
// A null string gives "<null>".
std::u16string take(BSTR text);

}  // namespace otpcli::test
