#include "support/text.h"

#if !defined(_WIN32)
#include <iconv.h>
#endif

#include <stdexcept>
#include <vector>

namespace otpcli::test {
namespace {

#if defined(_WIN32)

// The system's converters, with fixed code pages: UTF-8 (65001) and 949,
// whatever the process's ANSI code page is.
constexpr UINT kUtf8 = 65001;
constexpr UINT kKorean = 949;

std::wstring toWide(UINT codePage, std::string_view in) {
    if (in.empty()) {
        return {};
    }
    const int size = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (n <= 0) {
        throw std::runtime_error("MultiByteToWideChar failed");
    }
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, out.data(), n);
    return out;
}

std::string fromWide(UINT codePage, const std::wstring& in) {
    if (in.empty()) {
        return {};
    }
    const int size = static_cast<int>(in.size());
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(codePage, 0, in.data(), size, nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) {
        throw std::runtime_error("WideCharToMultiByte failed");
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, in.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::u16string utf16(std::string_view utf8) {
    const std::wstring wide = toWide(kUtf8, utf8);
    return std::u16string(wide.begin(), wide.end());
}

std::string cp949(std::string_view utf8) {
    return fromWide(kKorean, toWide(kUtf8, utf8));
}

#else

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

#endif

std::u16string take(BSTR text) {
    if (text == nullptr) {
        return u"<null>";
    }
    std::u16string result(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    SysFreeString(text);
    return result;
}

}  // namespace otpcli::test
