#include "report.h"

#include <cstdio>

namespace otpcli_tool {
namespace {

// Appends utf8 with every control character escaped as \n, \r, \t or \uXXXX
// (C0, DEL and the C1 controls U+0080 to U+009F, which some terminals obey as
// well) and the backslash doubled; in a JSON string the quote too.
void appendEscaped(std::string& out, std::string_view utf8, bool json) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        unsigned control = 0x100;  // none
        if (c < 0x20 || c == 0x7F) {
            control = c;
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            control = static_cast<unsigned char>(utf8[++i]);
        }
        if (control == '\n') {
            out += "\\n";
        } else if (control == '\r') {
            out += "\\r";
        } else if (control == '\t') {
            out += "\\t";
        } else if (control != 0x100) {
            char escape[8];
            (void)std::snprintf(escape, sizeof escape, "\\u%04x", control);
            out += escape;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '"' && json) {
            out += "\\\"";
        } else {
            out += static_cast<char>(c);
        }
    }
}

}  // namespace

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    appendEscaped(out, utf8, true);
    return out + "\"";
}

std::string printableText(std::string_view utf8) {
    std::string out;
    appendEscaped(out, utf8, false);
    return out;
}

std::string formatRequest(const RequestReport& report, bool json) {
    if (!json) {
        // Appended step by step: GCC 12 at -O3 warns falsely of an overlapping
        // copy in " " + text.
        std::string line = printableText(report.code);
        if (!report.message.empty()) {
            line.push_back(' ');
            appendEscaped(line, report.message, false);
        }
        line.push_back('\n');
        return line;
    }
    return "{\"command\":" + jsonString(report.command) +
           ",\"ok\":" + (report.ok ? "true" : "false") + ",\"code\":" + jsonString(report.code) +
           ",\"message\":" + jsonString(report.message) + ",\"host\":" + jsonString(report.host) +
           "}\n";
}

std::string formatHash(std::string_view hash, bool json) {
    if (!json) {
        return printableText(hash) + "\n";
    }
    return "{\"command\":\"hash\",\"hash\":" + jsonString(hash) + "}\n";
}

}  // namespace otpcli_tool
