// C++ conveniences over <otpcli/otpcli.h>: text arguments from std::u16string_view
// or UTF-8, returned strings in owners that free them, and the result of the
// last request read in one call. Header-only; adds nothing to the library.
#ifndef OTPCLI_OTPCLI_HPP
#define OTPCLI_OTPCLI_HPP

#include <string>
#include <string_view>
#include <utility>

#include <otpcli/otpcli.h>

namespace otpcli {

// UTF-8 to UTF-16. A malformed sequence becomes U+FFFD.
inline std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        std::size_t j = 1;
        for (; j <= static_cast<std::size_t>(extra) && i + j < utf8.size(); ++j) {
            const auto next = static_cast<unsigned char>(utf8[i + j]);
            if ((next & 0xC0) != 0x80) {
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const bool complete = j == static_cast<std::size_t>(extra) + 1;
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (!complete || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            i += j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += j;
    }
    return out;
}

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
inline std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// A text argument: NUL-terminated UTF-16 made from UTF-16 or UTF-8 text, passed
// where the class takes `const unsigned short*`.
//   client.reqJoin(otpcli::Text("8505031234565"), 0);
class Text {
  public:
    Text(std::u16string_view text) : units_(text) {}            // NOLINT: implicit by design
    Text(const char16_t* text) : units_(text) {}                // NOLINT
    Text(std::string_view utf8) : units_(utf8ToUtf16(utf8)) {}  // NOLINT
    Text(const char* utf8) : units_(utf8ToUtf16(utf8)) {}       // NOLINT

    operator const unsigned short*() const {  // NOLINT
        return reinterpret_cast<const unsigned short*>(units_.c_str());
    }
    const std::u16string& str() const { return units_; }

  private:
    std::u16string units_;
};

// Owns a string the library returned and frees it with SysFreeString.
class ReturnedString {
  public:
    ReturnedString() = default;
    explicit ReturnedString(BSTR text) : text_(text) {}
    ReturnedString(ReturnedString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    ReturnedString& operator=(ReturnedString&& other) noexcept {
        if (this != &other) {
            SysFreeString(text_);
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    ReturnedString(const ReturnedString&) = delete;
    ReturnedString& operator=(const ReturnedString&) = delete;
    ~ReturnedString() { SysFreeString(text_); }

    // The out-pointer to hand to a getter; frees what was held before.
    BSTR* out() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    bool isNull() const { return text_ == nullptr; }
    std::u16string_view view() const {
        return text_ == nullptr ? std::u16string_view()
                                : std::u16string_view(reinterpret_cast<const char16_t*>(text_),
                                                      SysStringLen(text_));
    }
    std::string utf8() const { return utf16ToUtf8(view()); }

  private:
    BSTR text_ = nullptr;
};

// The outcome of the last request on an object, as UTF-8.
struct Outcome {
    std::string code;
    std::string message;
    bool ok() const { return code == "0000"; }
};

inline Outcome lastOutcome(OTPCLI& client) {
    ReturnedString code;
    ReturnedString message;
    client.getErrorCode(code.out());
    client.getErrorMesg(message.out());
    return {code.utf8(), message.utf8()};
}

// hashValue as UTF-8 text; empty when the string could not be allocated.
inline std::string hashValue(OTPCLI& client, const Text& text) {
    ReturnedString hash;
    client.hashValue(text, hash.out());
    return hash.utf8();
}

}  // namespace otpcli

#endif  // OTPCLI_OTPCLI_HPP
