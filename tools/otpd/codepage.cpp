#include "codepage.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace otpd {
namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    // Four output bytes per input byte cover every conversion made here.
    std::vector<char> out(in.size() * 4 + 4);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const std::size_t flushed = iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || flushed == static_cast<std::size_t>(-1) ||
        srcLeft != 0) {
        return std::nullopt;
    }
    return std::string(out.data(), out.size() - dstLeft);
}

void appendEscaped(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

}  // namespace

std::optional<std::string> utf8ToCp949(std::string_view utf8) {
    return convert("CP949", "UTF-8", utf8);
}

std::optional<std::string> cp949ToUtf8(std::string_view cp949) {
    return convert("UTF-8", "CP949", cp949);
}

std::string printable(std::string_view cp949) {
    const std::optional<std::string> utf8 = cp949ToUtf8(cp949);
    const std::string_view text = utf8 ? std::string_view(*utf8) : cp949;
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool control = byte < 0x20 || byte == 0x7f || byte == '\\';
        if (control || (!utf8 && byte >= 0x80)) {
            appendEscaped(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace otpd
