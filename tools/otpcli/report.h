// What otpcli prints: one line of text, or one JSON object with --json.
#pragma once

#include <string>
#include <string_view>

namespace otpcli_tool {

struct RequestReport {
    std::string command;
    bool ok = false;
    std::string code;     // UTF-8
    std::string message;  // UTF-8
    std::string host;     // the server that took the last connection
};

// "CODE MESSAGE" (just "CODE" when the message is empty), or the JSON object
// {"command", "ok", "code", "message", "host"}; both end in a newline. The
// service's texts are escaped in both, so that a hostile service cannot move
// the cursor, ring the bell or forge a line.
std::string formatRequest(const RequestReport& report, bool json);
// The hash text, or {"command": "hash", "hash": ...}.
std::string formatHash(std::string_view hash, bool json);

// A JSON string literal of UTF-8 text.
std::string jsonString(std::string_view utf8);
// UTF-8 text for a terminal: control characters written as in JSON (\n, \r,
// \t, \u001b, also DEL and U+0080 to U+009F) and the backslash doubled.
std::string printableText(std::string_view utf8);

}  // namespace otpcli_tool
