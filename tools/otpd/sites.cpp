#include "sites.h"

#include <iterator>
#include <optional>

#include "codepage.h"
#include "crypto/wipe.h"
#include "identity_block.h"

namespace otpd {

namespace {

// Why a converted identifier and key cannot make a site; empty when they can.
std::string refusal(const std::optional<std::string>& id, const std::optional<std::string>& key,
                    std::string_view name) {
    // Appended rather than "'" + name + "'": GCC 12 at -O3 warns falsely of an
    // overlapping copy in that operator+.
    std::string quoted(1, '\'');
    quoted.append(name);
    quoted.push_back('\'');
    if (!id || !key) {
        return "site " + quoted + " is not valid code page 949 text";
    }
    if (id->empty() || id->size() > kMaxSiteIdBytes || id->find('\0') != std::string::npos) {
        return "site identifier " + quoted + " must have 1 to 32 bytes and no NUL";
    }
    if (key->size() > kMaxKeyMaterialBytes || key->find('\0') != std::string::npos) {
        return "key material of site " + quoted + " must have at most 32 bytes and no NUL";
    }
    return {};
}

}  // namespace

bool SiteRegistry::add(std::string_view spec, std::string& error) {
    const std::size_t colon = spec.find(':');
    if (colon == std::string_view::npos) {
        error = "a site is given as ID:KEY";
        return false;
    }
    const std::string_view name = spec.substr(0, colon);
    const std::optional<std::string> id = utf8ToCp949(name);
    std::optional<std::string> key = utf8ToCp949(spec.substr(colon + 1));
    std::string problem = refusal(id, key, name);
    if (problem.empty() && sites_.contains(*id)) {
        problem = "site '" + std::string(name) + "' is given twice";
    }
    if (problem.empty()) {
        sites_.emplace(*id, Site{*id, siteSealingKey(*key)});
    }
    if (key) {
        std::string& material = *key;
        otpcli::wipe(material.data(), material.size());
    }
    if (!problem.empty()) {
        error = problem;
        return false;
    }
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
