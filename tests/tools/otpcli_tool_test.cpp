// The otpcli command against a real otpd: exit status, text and JSON output,
// key material sources and usage errors.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "requests/recording_service.h"
#include "support/text.h"
#include "tools/child_process.h"
#include "tools/otpd_process.h"
#include "tools/service_client.h"

namespace otpcli::test {
namespace {

class OtpcliTool : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(otpd.start()); }

    void TearDown() override {
        if (!keyFile.empty()) {
            std::remove(keyFile.c_str());
        }
    }

    // otpcli with --port and --site first, and the site's key in OTPCLI_KEY
    // unless env says otherwise.
    RunResult run(std::vector<std::string> args, EnvironmentChanges env = {{"OTPCLI_KEY", kKey}}) {
        args.insert(args.begin(), {"--port", std::to_string(otpd.port()), "--site", kSite});
        return runProgram(OTPCLI_TOOL_PATH, args, env);
    }

    std::string writeKeyFile(const std::string& contents) {
        keyFile = ::testing::TempDir() + "otpcli-key-" + std::to_string(::getpid());
        std::ofstream(keyFile, std::ios::binary) << contents;
        return keyFile;
    }

    OtpdProcess otpd;
    std::string keyFile;
    const std::string person = residentNumber("850503123456");
    const EnvironmentChanges noKey{{"OTPCLI_KEY", std::nullopt}};
};

TEST_F(OtpcliTool, ExitStatusAndTextFollowTheResult) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    } steps[] = {
        {{"check", person, "--code", "010", "--value", "x"},
         1,
         "S101 가입되지 않은 사용자입니다.\n"},
        {{"join", person}, 0, "0000\n"},
        {{"join", person}, 1, "S102 이미 가입된 사용자입니다.\n"},
        {{"check", person, "--code", "010", "--value", "x"}, 0, "0000 서비스가 가능합니다.\n"},
        {{"addsvc-check", "--code", "010", "--value", "x"}, 0, "0000 서비스가 가능합니다.\n"},
        {{"auth", person, "--otp", "123456"}, 1, "S104 발급된 OTP가 없습니다.\n"},
        {{"init-auth-err", person}, 0, "0000\n"},
        {{"close", person}, 0, "0000\n"},
        {{"close", person}, 1, "S101 가입되지 않은 사용자입니다.\n"},
    };
    for (const auto& step : steps) {
        const RunResult r = run(step.args);
        EXPECT_EQ(r.exitCode, step.exitCode) << step.args[0] << ": " << r.err;
        EXPECT_EQ(r.out, step.out) << step.args[0];
    }
}

TEST_F(OtpcliTool, JsonOutput) {
    RunResult r = run({"join", person, "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, R"({"command":"join","ok":true,"code":"0000","message":"","host":"127.0.0.1"})"
                     "\n");
    r = run({"--json", "join", person});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(
        r.out,
        R"({"command":"join","ok":false,"code":"S102","message":"이미 가입된 사용자입니다.","host":"127.0.0.1"})"
        "\n");
}

TEST_F(OtpcliTool, IssueThenAuthenticateWithTheDeliveredOtp) {
    ASSERT_EQ(run({"join", person}).exitCode, 0);
    RunResult r = run({"issue", person, "--code", "SMS", "--value", "010-1234"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    ServiceClient client;
    const std::string identity = client.identityText(person);
    const std::vector<std::string> delivered = otpd.outboxLines().at(0);
    EXPECT_EQ(delivered, (std::vector<std::string>{delivered[0], identity, "SMS", "010-1234"}));

    r = run({"auth", person, "--otp", delivered[0], "--level", "2", "--extra", "메모"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(otpd.log().find("level '2' extra '메모'"), std::string::npos) << otpd.log();
}

TEST_F(OtpcliTool, AnOtpWithLeadingZerosIsReadAsDecimal) {
    // Reissue until the OTP starts with 0 (one in ten does), then type it as
    // delivered: 0123456 must not be taken for an octal number.
    ASSERT_EQ(run({"join", person}).exitCode, 0);
    ServiceClient client;
    ASSERT_EQ(client.init(otpd.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
    const std::string identity = client.identityText(person);
    std::string otp;
    for (int i = 0; i < 300 && otp.rfind('0', 0) != 0; ++i) {
        ASSERT_EQ(client.reqReissue(w(utf16(person)), 0, w(u"010"), w(u"x")), S_OK);
        otp = otpd.lastOtp(identity).value_or("");
    }
    ASSERT_EQ(otp.front(), '0');
    const RunResult r = run({"auth", person, "--otp", otp});
    EXPECT_EQ(r.exitCode, 0) << otp << ": " << r.out << r.err;
}

TEST_F(OtpcliTool, HashPrintsTheLibrarysIdentityText) {
    ServiceClient client;
    for (const std::string& text : {person, std::string("홍길동")}) {
        const RunResult r = runProgram(OTPCLI_TOOL_PATH, {"hash", text});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, client.identityText(text) + "\n") << text;
    }
    const RunResult r = runProgram(OTPCLI_TOOL_PATH, {"hash", person, "--json"});
    EXPECT_EQ(r.out, R"({"command":"hash","hash":")" + client.identityText(person) + "\"}\n");
}

TEST_F(OtpcliTool, TheIdentityTextFormNamesTheSameSubscriber) {
    ASSERT_EQ(run({"join", person}).exitCode, 0);
    const std::string text = runProgram(OTPCLI_TOOL_PATH, {"hash", person}).out.substr(0, 40);
    const RunResult r = run({"join", "--form", "1", text});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.substr(0, 4), "S102");
    EXPECT_EQ(run({"close", text, "--form", "1"}).exitCode, 0);
}

TEST_F(OtpcliTool, KeyMaterialFromAFileWinsOverTheEnvironment) {
    const std::string file = writeKeyFile(std::string(kKey) + "\r\n");
    RunResult r = run({"join", person, "--key-file", file}, noKey);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    r = run({"close", person, "--key-file", file}, {{"OTPCLI_KEY", "wrong key"}});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    r = run({"join", person}, {{"OTPCLI_KEY", "wrong key"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.substr(0, 4), "S202");
}

// Every way key material can be unusable is a usage error with a reason, found
// without reading more than a key can hold and without waiting on a FIFO.
TEST_F(OtpcliTool, UnusableKeySourcesAreUsageErrors) {
    const std::string dir = otpd.directory();
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    ASSERT_TRUE(writePrivateFile(dir + "/empty", ""));
    ASSERT_TRUE(writePrivateFile(dir + "/newline", "\r\n"));
    ASSERT_TRUE(writePrivateFile(dir + "/oversize", std::string(131, 'k')));
    ASSERT_EQ(::mkdir((dir + "/directory").c_str(), 0700), 0);
    const struct {
        const char* name;
        std::string keyFile;  // empty: none given
        std::optional<std::string> variable;
        const char* reason;
    } cases[] = {
        {"a directory", dir + "/directory", kKey, "not a regular file"},
        {"a FIFO without a writer", dir + "/fifo", kKey, "not a regular file"},
        {"a device without end", "/dev/zero", kKey, "not a regular file"},
        {"an empty file", dir + "/empty", kKey, "holds no key material"},
        {"a file of a line end only", dir + "/newline", kKey, "holds no key material"},
        {"a file longer than a key", dir + "/oversize", kKey, "more than key material can"},
        {"a file that is not there", dir + "/missing", kKey, "cannot read key file"},
        {"an empty OTPCLI_KEY", "", "", "OTPCLI_KEY is set but empty"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"join", person};
        if (!c.keyFile.empty()) {
            args.insert(args.end(), {"--key-file", c.keyFile});
        }
        const RunResult r = run(args, {{"OTPCLI_KEY", c.variable}});
        EXPECT_FALSE(r.timedOut) << c.name;
        EXPECT_EQ(r.exitCode, 2) << c.name << ": " << r.out << r.err;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.name << ": " << r.err;
    }
    EXPECT_EQ(otpd.log(), "") << "none of them reached the service";
}

TEST_F(OtpcliTool, AKeyFileOthersMayReadIsUsedWithAWarning) {
    const std::string warning = "readable by group or others";
    // The largest key a file may hold: 16 Hangul syllables, 48 bytes of UTF-8
    // and 32 in code page 949, with a CR LF.
    std::string longest;
    for (int i = 0; i < 16; ++i) {
        longest += "키";
    }
    const std::string file = otpd.directory() + "/key";
    for (const mode_t mode : {0600, 0640, 0604}) {
        ASSERT_TRUE(writePrivateFile(file, std::string(kKey) + "\n", mode));
        const RunResult r =
            run({"addsvc-check", "--key-file", file, "--code", "010", "--value", "x"}, noKey);
        EXPECT_EQ(r.exitCode, 0) << std::oct << mode << ": " << r.err;
        EXPECT_EQ(r.err.find(warning) != std::string::npos, mode != 0600)
            << std::oct << mode << ": " << r.err;
    }
    ASSERT_TRUE(writePrivateFile(file, longest + "\r\n"));
    const RunResult r = run({"join", person, "--key-file", file}, noKey);
    EXPECT_EQ(r.exitCode, 1) << r.err << ": read whole, and refused by the service alone";
    EXPECT_EQ(r.out.substr(0, 4), "S202");
}

TEST_F(OtpcliTool, ServiceChecksNeedNoKeyMaterial) {
    EXPECT_EQ(run({"addsvc-check", "--code", "010", "--value", "x"}, noKey).exitCode, 0);
    EXPECT_EQ(run({"check", person, "--code", "010", "--value", "x"}, noKey).exitCode, 1);
}

TEST_F(OtpcliTool, AServerThatIsDownIsAFailedRequest) {
    const int port = otpd.port();
    ASSERT_EQ(otpd.stop(), 0);
    const RunResult r =
        runProgram(OTPCLI_TOOL_PATH, {"--port", std::to_string(port), "--site", kSite, "--timeout",
                                      "1", "addsvc-check", "--code", "010", "--value", "x"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "N001 서버에 접속할 수 없습니다.\n");
}

TEST(OtpcliToolHosts, HostsOptionChoosesTheServer) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start({}, "127.0.0.2"));
    const RunResult r = runProgram(
        OTPCLI_TOOL_PATH, {"--port", std::to_string(otpd.port()), "--site", kSite, "--hosts",
                           "127.0.0.2", "--json", "addsvc-check", "--code", "010", "--value", "x"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(R"("host":"127.0.0.2")"), std::string::npos) << r.out;
}

TEST_F(OtpcliTool, UsageErrorsExitWithTwo) {
    const std::string port = std::to_string(otpd.port());
    const struct {
        const char* name;
        std::vector<std::string> args;
        EnvironmentChanges env;
    } cases[] = {
        {"no arguments", {}, {}},
        {"unknown subcommand", {"frobnicate"}, {}},
        {"unknown option", {"--port", port, "--site", kSite, "join", person, "--bogus"}, {}},
        {"identity missing", {"--port", port, "--site", kSite, "join"}, {}},
        {"code missing", {"--port", port, "--site", kSite, "issue", person, "--value", "v"}, {}},
        {"port missing", {"--site", kSite, "join", person}, {}},
        {"site missing", {"--port", port, "join", person}, {}},
        {"no key material", {"--port", port, "--site", kSite, "join", person}, noKey},
        {"unreadable key file",
         {"--port", port, "--site", kSite, "--key-file", "/nonexistent/key", "join", person},
         {}},
        {"OTP with a letter",
         {"--port", port, "--site", kSite, "auth", person, "--otp", "12a4"},
         {}},
        {"OTP of ten digits",
         {"--port", port, "--site", kSite, "auth", person, "--otp", "1234567890"},
         {}},
        {"three hosts", {"--port", port, "--site", kSite, "--hosts", "a,b,c", "join", person}, {}},
        {"site over 32 bytes",
         {"--port", port, "--site", std::string(33, 's'), "join", person},
         {}},
        {"identity not UTF-8", {"--port", port, "--site", kSite, "join", "\xff\xfe"}, {}},
        {"timeout of zero",
         {"--port", port, "--site", kSite, "--timeout", "0", "join", person},
         {}},
    };
    for (const auto& c : cases) {
        EnvironmentChanges env = c.env;
        env.emplace("OTPCLI_KEY", kKey);
        const RunResult r = runProgram(OTPCLI_TOOL_PATH, c.args, env);
        EXPECT_EQ(r.exitCode, 2) << c.name << ": " << r.out << r.err;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_FALSE(r.err.empty()) << c.name;
    }
    EXPECT_EQ(otpd.log(), "") << "none of them reached the service";
}

// A hostile service's control characters reach the terminal escaped, so that
// it cannot forge a "0000" line or send terminal commands.
TEST(OtpcliToolOutput, ControlCharactersFromTheServiceAreEscaped) {
    RecordingService service;
    service.setReply(
        RecordingService::reply("S\a\x1b"
                                "9",
                                "bad\r\n0000 " + cp949("정상") + "\x1b[2J\x7f\\\t\x01"));
    const std::vector<std::string> args{"--port",
                                        std::to_string(service.port()),
                                        "--site",
                                        kSite,
                                        "--hosts",
                                        "127.0.0.1",
                                        "addsvc-check",
                                        "--code",
                                        "010",
                                        "--value",
                                        "x"};
    RunResult r = runProgram(OTPCLI_TOOL_PATH, args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "S\\u0007\\u001b9 bad\\r\\n0000 정상\\u001b[2J\\u007f\\\\\\t\\u0001\n");

    std::vector<std::string> json = args;
    json.push_back("--json");
    r = runProgram(OTPCLI_TOOL_PATH, json);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, R"({"command":"addsvc-check","ok":false,"code":"S\u0007\u001b9",)"
                     R"("message":"bad\r\n0000 정상\u001b[2J\u007f\\\t\u0001",)"
                     R"("host":"127.0.0.1"})"
                     "\n");
}

TEST(OtpcliToolHelp, HelpListsTheSubcommands) {
    const RunResult r = runProgram(OTPCLI_TOOL_PATH, {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* name : {"issue", "reissue", "check", "addsvc-check", "auth", "join", "close",
                             "init-auth-err", "hash"}) {
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace otpcli::test
