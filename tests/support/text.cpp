#include "support/text.h"

#include <iconv.h>

#include <stdexcept>
#include <vector>

namespace otpcli::test {
namespace {

std::string convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv_open failed");
    }
    std::vector<char> out(in.size() * 4 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("iconv failed");
    }
    return std::string(out.data(), out.size() - dstLeft);
}

}  // namespace

std::u16string utf16(std::string_view utf8) {
    const std::string bytes = convert("UTF-16LE", "UTF-8", utf8);
    std::u16string result(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return result;
}

std::string cp949(std::string_view utf8) {
    return convert("CP949", "UTF-8", utf8);
}

std::u16string take(BSTR text) {
    if (text == nullptr) {
        return u"<null>";
    }
    std::u16string result(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    SysFreeString(text);
    return result;
}

}  // namespace otpcli::test
