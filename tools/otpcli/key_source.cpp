#include "key_source.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace otpcli_tool {

std::optional<std::string> readKeyMaterial(const std::string& keyFile, std::string& error) {
    if (!keyFile.empty()) {
        std::ifstream file(keyFile, std::ios::binary);
        if (!file) {
            error = "cannot read key file " + keyFile;
            return std::nullopt;
        }
        std::string key((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) {
            key.pop_back();
        }
        return key;
    }
    if (const char* value = std::getenv(kKeyVariable)) {
        return std::string(value);
    }
    error = std::string("no key material: give --key-file FILE or set ") + kKeyVariable;
    return std::nullopt;
}

}  // namespace otpcli_tool
