#include "sites.h"

#include <iterator>
#include <optional>

#include "codepage.h"
#include "crypto/wipe.h"
#include "identity_block.h"

namespace otpd {

bool SiteRegistry::add(std::string_view spec, std::string& error) {
    const std::size_t colon = spec.find(':');
    if (colon == std::string_view::npos) {
        error = "a site is given as ID:KEY";
        return false;
    }
    const std::optional<std::string> id = utf8ToCp949(spec.substr(0, colon));
    std::optional<std::string> key = utf8ToCp949(spec.substr(colon + 1));
    // The converted key material is wiped on every way out.
    struct Wiper {
        std::optional<std::string>& text;
        ~Wiper() {
            if (text) {
                otpcli::wipe(text->data(), text->size());
            }
        }
    } wiper{key};
    if (!id || !key) {
        error = "site '" + std::string(spec.substr(0, colon)) + "' is not valid code page 949 text";
        return false;
    }
    if (id->empty() || id->size() > kMaxSiteIdBytes || id->find('\0') != std::string::npos) {
        error = "site identifier '" + std::string(spec.substr(0, colon)) +
                "' must have 1 to 32 bytes and no NUL";
        return false;
    }
    if (key->size() > kMaxKeyMaterialBytes || key->find('\0') != std::string::npos) {
        error = "key material of site '" + std::string(spec.substr(0, colon)) +
                "' must have at most 32 bytes and no NUL";
        return false;
    }
    if (sites_.contains(*id)) {
        error = "site '" + std::string(spec.substr(0, colon)) + "' is given twice";
        return false;
    }
    sites_.emplace(*id, Site{*id, siteSealingKey(*key)});
    return true;
}

bool SiteRegistry::addAll(std::istream& lines, std::string& error) {
    std::string text((std::istreambuf_iterator<char>(lines)), std::istreambuf_iterator<char>());
    const bool added = addAll(std::string_view(text), error);
    otpcli::wipe(text.data(), text.size());
    return added;
}

bool SiteRegistry::addAll(std::string_view text, std::string& error) {
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (!add(line, error)) {
            error = std::string("line ").append(std::to_string(number)).append(": ").append(error);
            return false;
        }
    }
    return true;
}

const Site* SiteRegistry::find(std::string_view id) const {
    const auto it = sites_.find(id);
    return it == sites_.end() ? nullptr : &it->second;
}

}  // namespace otpd
