// otpd facing malformed and hostile input: it answers with a refusal or closes
// the connection, keeps serving, and stops cleanly.
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <vector>

#include "support/text.h"
#include "tools/child_process.h"
#include "tools/hand_frames.h"
#include "tools/otpd_process.h"
#include "tools/raw_client.h"
#include "tools/service_client.h"

namespace otpcli::test {
namespace {

using std::chrono::milliseconds;

const std::string kJoin = "0000200";
const std::string kAuth = "0000004";
const std::string kCheck = "0000009";

class OtpdRobustness : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(otpd.start(extraArgs()));
        ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
    }
    virtual std::vector<std::string> extraArgs() const { return {}; }

    RawExchange send(const std::string& bytes, bool halfClose = false) {
        return exchangeRaw("127.0.0.1", otpd.port(), bytes, halfClose);
    }

    // A request through the library still gets its answer.
    void expectStillServing() {
        ServiceClient client;
        ASSERT_EQ(client.init(otpd.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
        EXPECT_EQ(client.reqAddsvcCheck(w(u"010"), w(u"x")), S_OK) << client.code();
        EXPECT_TRUE(otpd.running());
    }

    std::string identity = std::string(40, 'a');
    OtpdProcess otpd;
};

TEST_F(OtpdRobustness, MalformedFramesAreRefusedWithACode) {
    const std::string goodBlock = sealedBlock(identity, kKey);
    std::string siteWithJunk = std::string(kSite) + '\0' + "junk";
    const struct {
        const char* name;
        std::string bytes;
        const char* code;
    } cases[] = {
        {"text instead of a frame", "GET / HTTP/1.0\r\n\r\n", "S203"},
        {"letter in the length field", "00a75" + handFrame(kJoin, kSite, goodBlock).substr(5),
         "S203"},
        {"sign in the length field", "-0175" + handFrame(kJoin, kSite, goodBlock).substr(5),
         "S203"},
        {"oversize announcement", "99999" + std::string(300, 'x'), "S203"},
        {"just over the largest body read", "00513" + std::string(513, ' '), "S203"},
        {"empty body", "00000", "S203"},
        {"body too short for the head", "00010" + std::string(10, ' '), "S203"},
        {"unknown transaction code", handFrame("0000099", kSite, goodBlock), "S204"},
        {"transaction code not digits", handFrame("ABCDEFG", kSite, goodBlock), "S204"},
        {"frame longer than its transaction's", handFrame(kJoin, kSite, goodBlock + "x"), "S203"},
        {"frame shorter than its transaction's", handFrame(kJoin, kSite, goodBlock.substr(0, 95)),
         "S203"},
        {"bytes after the end of the site", handFrame(kJoin, siteWithJunk, goodBlock), "S203"},
        {"unknown site", handFrame(kJoin, "NOSITE", goodBlock), "S201"},
        {"empty site", handFrame(kJoin, "", goodBlock), "S201"},
        {"block of zeros", handFrame(kJoin, kSite, std::string(96, '0')), "S202"},
        {"block not hex", handFrame(kJoin, kSite, std::string(96, 'z')), "S202"},
        {"block under another key", handFrame(kJoin, kSite, sealedBlock(identity, "other")),
         "S202"},
        {"block of 39 bytes", handFrame(kJoin, kSite, sealedBlock(identity.substr(1), kKey)),
         "S202"},
        {"authentication block without OTP digits",
         handFrame(kAuth, kSite,
                   sealedBlock(identity + "12a4567", kKey) + "1" + std::string(20, ' ')),
         "S203"},
    };
    for (const auto& c : cases) {
        const RawExchange r = send(c.bytes);
        ASSERT_TRUE(r.connected) << c.name;
        EXPECT_TRUE(r.closedByPeer) << c.name;
        const ParsedReply reply = parseReply(r.received);
        EXPECT_TRUE(reply.ok) << c.name << ": " << r.received;
        EXPECT_EQ(reply.code, c.code) << c.name;
        EXPECT_FALSE(reply.message.empty()) << c.name;
    }
    expectStillServing();
}

TEST_F(OtpdRobustness, AHandBuiltFrameIsAnsweredLikeTheLibrarys) {
    // The same join as the library sends: sealed under the site's key.
    const RawExchange joined = send(handFrame(kJoin, kSite, sealedBlock(identity, kKey)));
    EXPECT_EQ(parseReply(joined.received).code, "0000");

    const std::string check = handFrame(kCheck, kSite, "010" + std::string(11, ' '), identity);
    const ParsedReply reply = parseReply(send(check).received);
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.code, "0000");
    // The reply lines up with the request: the identity field echoed before the
    // code, the transaction code's last digits after it.
    EXPECT_EQ(reply.body.substr(0, 40), identity);
    EXPECT_EQ(reply.body.substr(44, 3), "009");
    EXPECT_EQ(reply.message, cp949("정상 처리되었습니다."));
}

TEST_F(OtpdRobustness, IncompleteFramesAreDroppedWithoutAReply) {
    const std::string frame = handFrame(kJoin, kSite, sealedBlock(identity, kKey));
    const struct {
        const char* name;
        std::string bytes;
        bool halfClose;
    } cases[] = {
        {"truncated, then the client stops sending", frame.substr(0, 100), true},
        {"truncated, the client waits", frame.substr(0, 100), false},
        {"part of the length field", "001", false},
        {"nothing at all", "", false},
    };
    for (const auto& c : cases) {
        const RawExchange r = send(c.bytes, c.halfClose);
        ASSERT_TRUE(r.connected) << c.name;
        EXPECT_TRUE(r.closedByPeer) << c.name << ": closed by the deadline at the latest";
        EXPECT_EQ(r.received, "") << c.name;
        EXPECT_LT(r.elapsed, milliseconds(3000)) << c.name;
    }
    expectStillServing();
}

TEST_F(OtpdRobustness, SilentClientsDoNotHoldUpOthers) {
    std::vector<std::unique_ptr<SilentConnection>> silent;
    for (int i = 0; i < 20; ++i) {
        silent.push_back(std::make_unique<SilentConnection>("127.0.0.1", otpd.port()));
        ASSERT_TRUE(silent.back()->connected());
    }
    expectStillServing();
    for (auto& s : silent) {
        EXPECT_TRUE(s->waitForClose(milliseconds(3000))) << "the deadline closes it";
    }
}

class OtpdWithFewConnections : public OtpdRobustness {
  protected:
    std::vector<std::string> extraArgs() const override { return {"--max-connections", "2"}; }
};

TEST_F(OtpdWithFewConnections, ConnectionsOverTheLimitAreClosedAtOnce) {
    SilentConnection first("127.0.0.1", otpd.port());
    SilentConnection second("127.0.0.1", otpd.port());
    ASSERT_TRUE(first.connected() && second.connected());
    const RawExchange third = send(handFrame(kJoin, kSite, sealedBlock(identity, kKey)));
    EXPECT_TRUE(third.closedByPeer);
    EXPECT_EQ(third.received, "");
    EXPECT_LT(third.elapsed, milliseconds(700)) << "well before the 1 s deadline";

    EXPECT_TRUE(first.waitForClose(milliseconds(3000)));
    EXPECT_TRUE(second.waitForClose(milliseconds(3000)));
    expectStillServing();
}

TEST(OtpdLifecycle, BothStopSignalsEndItCleanly) {
    for (const int signal : {SIGINT, SIGTERM}) {
        ChildProcess otpd;
        ASSERT_TRUE(otpd.start(OTPD_PATH, {"--port", "0", "--site", "S:k"}, "/dev/null"));
        ASSERT_TRUE(otpd.readLine(milliseconds(10000)).has_value());
        EXPECT_EQ(otpd.stop(signal), 0) << "signal " << signal;
    }
}

TEST(OtpdLifecycle, BadCommandLinesAreUsageErrors) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {"no site", {"--port", "0"}, 2},
        {"no port", {"--site", "S:k"}, 2},
        {"site without a colon", {"--port", "0", "--site", "S"}, 2},
        {"empty site identifier", {"--port", "0", "--site", ":k"}, 2},
        {"site identifier over 32 bytes",
         {"--port", "0", "--site", std::string(33, 's') + ":k"},
         2},
        {"key material over 32 bytes", {"--port", "0", "--site", "S:" + std::string(33, 'k')}, 2},
        {"site given twice", {"--port", "0", "--site", "S:a", "--site", "S:b"}, 2},
        {"port out of range", {"--port", "65536", "--site", "S:k"}, 2},
        {"OTP of 5 digits", {"--port", "0", "--site", "S:k", "--otp-digits", "5"}, 2},
        {"missing config file", {"--port", "0", "--config", "/nonexistent/sites"}, 2},
        {"address that is not one", {"--port", "0", "--site", "S:k", "--listen", "nowhere"}, 2},
    };
    for (const auto& c : cases) {
        const RunResult r = runProgram(OTPD_PATH, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": " << r.err;
        EXPECT_FALSE(r.err.empty()) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

TEST(OtpdLifecycle, APortInUseIsReported) {
    OtpdProcess first;
    ASSERT_TRUE(first.start());
    const RunResult r =
        runProgram(OTPD_PATH, {"--port", std::to_string(first.port()), "--site", "S:k"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("otpd:"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace otpcli::test
