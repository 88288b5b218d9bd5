#include "report.h"

#include <cstdio>

namespace otpcli_tool {

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    (void)std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string formatRequest(const RequestReport& report, bool json) {
    if (!json) {
        return report.code + (report.message.empty() ? "" : " " + report.message) + "\n";
    }
    return "{\"command\":" + jsonString(report.command) +
           ",\"ok\":" + (report.ok ? "true" : "false") + ",\"code\":" + jsonString(report.code) +
           ",\"message\":" + jsonString(report.message) + ",\"host\":" + jsonString(report.host) +
           "}\n";
}

std::string formatHash(std::string_view hash, bool json) {
    if (!json) {
        return std::string(hash) + "\n";
    }
    return "{\"command\":\"hash\",\"hash\":" + jsonString(hash) + "}\n";
}

}  // namespace otpcli_tool
