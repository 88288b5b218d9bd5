// Measures how long a service that keeps sending a byte now and then can hold
// one request, with the whole-reply deadline and without it (the deadline set
// beyond any test). Takes about 80 seconds; prints what it measured and the
// longest hold that follows. Not a test: run it by hand.
#include <chrono>
#include <cstdio>
#include <string>

#include <otpcli/otpcli.h>

#include "requests/exchange.h"
#include "support/loopback_server.h"
#include "support/text.h"

namespace {

using namespace std::chrono_literals;
using otpcli::test::LoopbackServer;
using otpcli::test::Script;
using otpcli::test::utf16;
using otpcli::test::w;

class Probe : public OTPCLI {
  public:
    std::string code() const { return errorCode; }
};

// Far beyond any hold measured here: in effect no deadline.
constexpr int kNoDeadline = 1'000'000'000;

std::string reply(const std::string& code, std::size_t n) {
    std::string body = std::string(40, 'b') + code + "bbb";
    body.resize(n, 'm');
    char length[6];
    std::snprintf(length, sizeof length, "%05zu", n);
    return length + body;
}

// One join against a service playing script; seconds until it returned.
double hold(const Script& script, int deadlineMillis, std::string& code) {
    otpcli::setReplyDeadlineMillis(deadlineMillis);
    LoopbackServer server({script}, "127.0.0.1", 0, 120s);
    Probe client;
    client.init(server.port(), w(utf16("SITE01")), w(utf16("key")));
    const auto start = std::chrono::steady_clock::now();
    client.reqJoin(w(u"8505031234565"), 0);
    const std::chrono::duration<double> held = std::chrono::steady_clock::now() - start;
    code = client.code();
    return held.count();
}

}  // namespace

int main() {
    OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1"));
    std::string code;

    const double budget = hold(Script().readFrame().send("0").pause(60s), kNoDeadline, code);
    std::printf("silence after one byte, no deadline: %.3f s, %s\n", budget, code.c_str());

    const double firstWait = hold(Script().readFrame().pause(60s), kNoDeadline, code);
    std::printf("silence from the start, no deadline: %.3f s, %s\n", firstWait, code.c_str());

    const double cut = hold(Script().readFrame().send(reply("E100", 99'999), 1, 4500ms),
                            otpcli::kReplyDeadlineMillis, code);
    std::printf("one byte every 4.5 s, 30 s deadline: %.3f s, %s\n", cut, code.c_str());

    const double slow =
        hold(Script().readFrame().send(reply("E100", 47), 6, 4500ms), kNoDeadline, code);
    std::printf("52 bytes in 9 pieces 4.5 s apart, no deadline: %.3f s, %s\n", slow, code.c_str());

    // Without the deadline: a first wait for each of the two receives, and a
    // gap just inside the budget before every further byte of the length field
    // and of a 99,999-byte body.
    const double longest = 2 * firstWait + (4 + 99'998) * budget;
    std::printf("longest hold without the deadline: %.0f s (%.1f days), plus the connect\n",
                longest, longest / 86'400);
    return 0;
}
