#include "vector_file.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace otpcli::test {
namespace {

std::string trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

int nibble(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

}  // namespace

std::vector<VectorRecord> readVectorFile(const std::string& name) {
    const std::string path = std::string(OTPCLI_CRYPTO_VECTORS) + "/" + name;
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::vector<VectorRecord> records(1);
    std::string line;
    std::string* open = nullptr;  // a value continued on the next line
    while (std::getline(in, line)) {
        std::string text = trim(line);
        if (open != nullptr) {
            const bool more = !text.empty() && text.back() == '\\';
            if (more) {
                text.pop_back();
            }
            *open += " " + trim(text);
            open = more ? open : nullptr;
            continue;
        }
        if (text.empty()) {
            if (!records.back().empty()) {
                records.emplace_back();
            }
            continue;
        }
        if (text.front() == '#') {
            continue;
        }
        const auto colon = text.find(':');
        if (colon == std::string::npos) {
            throw std::runtime_error("no field name in " + path + ": " + text);
        }
        std::string value = trim(std::string_view(text).substr(colon + 1));
        const bool more = !value.empty() && value.back() == '\\';
        if (more) {
            value.pop_back();
        }
        auto [it, fresh] = records.back().emplace(trim(text.substr(0, colon)), trim(value));
        if (!fresh) {
            throw std::runtime_error("field given twice in " + path + ": " + it->first);
        }
        open = more ? &it->second : nullptr;
    }
    if (records.back().empty()) {
        records.pop_back();
    }
    return records;
}

const std::string& field(const VectorRecord& record, const std::string& name) {
    const auto it = record.find(name);
    if (it == record.end()) {
        throw std::runtime_error("record without field " + name);
    }
    return it->second;
}

std::vector<unsigned char> hexBytes(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            digits += c;
        }
    }
    if (digits == "-") {
        return {};
    }
    if (digits.size() % 2 != 0) {
        throw std::invalid_argument("odd number of hex digits");
    }
    std::vector<unsigned char> bytes(digits.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] =
            static_cast<unsigned char>(nibble(digits[2 * i]) << 4 | nibble(digits[2 * i + 1]));
    }
    return bytes;
}

std::vector<std::uint32_t> hexWords(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<std::uint32_t> words;
    std::string word;
    while (in >> word) {
        const auto bytes = hexBytes(word);
        if (bytes.size() != 4) {
            throw std::invalid_argument("not a 32-bit word: " + word);
        }
        words.push_back(std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                        std::uint32_t{bytes[2]} << 8 | bytes[3]);
    }
    return words;
}

std::string toHexText(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

}  // namespace otpcli::test
