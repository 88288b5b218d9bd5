// pam_otpcli.so through libpam against a real otpd on loopback: delivery,
// right and wrong codes, a locked subscriber, unknown users, a service that is
// down, files with unsafe owners or permissions, entries that are no code.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <otpcli/otpcli.hpp>

#include "pam/pam_harness.h"
#include "tools/otpd_process.h"

namespace otpcli::test {
namespace {

namespace fs = std::filesystem;

constexpr char kService[] = "otpcli-test";
constexpr char kSentInfo[] = "A one-time code has been sent.";
constexpr char kMalformed[] = "A one-time code is 1 to 7 digits.";
constexpr char kUnreachable[] = "The one-time code service cannot be reached.";
const std::string kWrongOtpMessage = "OTP 값이 일치하지 않습니다.";
const std::string kLockedMessage = "인증 오류 횟수 초과로 사용이 제한되었습니다.";

// Files the test creates belong to whoever runs it: root runs the installed
// module, anyone else the test copy that accepts the user's own files.
std::string modulePath() {
    return geteuid() == 0 ? PAM_MODULE_PATH : PAM_TESTOWNER_MODULE_PATH;
}

std::string identityOf(const std::string& person) {
    OTPCLI client;
    return hashValue(client, Text(person));
}

class PamModule : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pam-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ASSERT_TRUE(otpd.start());
        writeSetup();
        join(alice);
        join(bob);
    }
    // The settings, the key, the user map and a stack that delivers.
    void writeSetup() {
        for (const char* name : {"pam.conf", "key", "users"}) {
            std::error_code ignored;
            fs::remove_all(path(name), ignored);
        }
        writeSettings(otpd.port());
        writeFile("key", std::string(kKey) + "\n", 0600);
        writeFile("users",
                  "# login identity code value\n" + std::string("alice ") + alice +
                      " 010 01012345678\n"
                      "bob " +
                      bob + "\n",
                  0600);
        useStack("deliver");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    void writeFile(const std::string& name, const std::string& text, mode_t mode) {
        std::ofstream(path(name), std::ios::trunc) << text;
        ASSERT_EQ(chmod(path(name).c_str(), mode), 0);
    }
    void writeSettings(int port, const std::string& hosts = "127.0.0.1",
                       const std::string& site = kSite) {
        writeFile("pam.conf",
                  "# test settings\nhosts = " + hosts + "\nport = " + std::to_string(port) +
                      "\nsite = " + site + "\nconnect_timeout = 2\nkey_file = " + path("key") +
                      "\nuser_map = " + path("users") + "\n",
                  0644);
    }
    // The service file: the module with these arguments, then any further lines.
    void useStack(const std::string& arguments, const std::string& more = "") {
        writeFile(kService,
                  "auth required " + modulePath() + " config=" + path("pam.conf") + " " +
                      arguments + "\n" + more,
                  0644);
    }

    void join(const std::string& identity) {
        ServiceClientFor client(otpd.port());
        ASSERT_EQ(client.get().reqJoin(Text(identity), 1), S_OK);
    }

    // The library configured for the test's otpd, for setting up subscribers.
    class ServiceClientFor {
      public:
        explicit ServiceClientFor(int port) {
            OTPCLI::setServerHosts(Text("127.0.0.1"), Text("127.0.0.1"));
            client_.init(port, Text(kSite), Text(kKey));
            client_.setConnectTimeout(2);
        }
        OTPCLI& get() { return client_; }

      private:
        OTPCLI client_;
    };

    // Answers the prompt with the code otpd delivered last to identity, after
    // checking that it was delivered during this very run.
    Answerer deliveredOtp(const std::string& identity, int offset = 0) {
        return [this, identity, offset](const std::string&) -> std::optional<std::string> {
            const std::optional<std::string> otp = otpd.lastOtp(identity);
            if (!otp) {
                return std::nullopt;
            }
            if (offset == 0) {
                return *otp;
            }
            const int wrong = (std::stoi(*otp) + offset) % 1000000;
            char text[8];
            snprintf(text, sizeof text, "%06d", wrong);
            return std::string(text);
        };
    }
    static Answerer answerWith(const std::string& text) {
        return [text](const std::string&) { return text; };
    }

    // Requests otpd has answered so far (one log line each).
    int requestsServed() {
        const std::string log = otpd.log();
        int count = 0;
        for (std::size_t at = log.find(" -> "); at != std::string::npos;
             at = log.find(" -> ", at + 1)) {
            ++count;
        }
        return count;
    }

    PamRun run(const std::string& user, const Answerer& answer, int flags = 0) {
        return runPam(dir, kService, user, answer, flags);
    }

    // The run logged exactly one line, with this user, outcome and code, and
    // nothing secret.
    void expectOneLogLine(const PamRun& run, const std::string& user, const std::string& outcome,
                          const std::string& code) {
        ASSERT_EQ(run.log.size(), 1u) << ::testing::PrintToString(run.log);
        const std::string& line = run.log.front();
        EXPECT_NE(line.find("user=" + user + " "), std::string::npos) << line;
        EXPECT_NE(line.find(" outcome=" + outcome + " "), std::string::npos) << line;
        EXPECT_NE(line.find(" code=" + code), std::string::npos) << line;
        expectNoSecrets(run.log);
    }
    void expectNoSecrets(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find(kKey), std::string::npos) << line;
            for (const std::string& identity : {alice, bob}) {
                EXPECT_EQ(line.find(identity.substr(0, 12)), std::string::npos) << line;
            }
            for (const auto& fields : otpd.outboxLines()) {
                EXPECT_EQ(line.find(fields[0]), std::string::npos) << line;
            }
        }
    }

    std::string dir;
    OtpdProcess otpd;
    const std::string alice = identityOf("alice's resident number");
    const std::string bob = identityOf("bob's resident number");
};

TEST_F(PamModule, DeliveredCodeLogsIn) {
    const PamRun result = run("alice", deliveredOtp(alice));
    EXPECT_EQ(result.result, PAM_SUCCESS);
    EXPECT_TRUE(result.said(PAM_TEXT_INFO, kSentInfo));
    EXPECT_TRUE(result.said(PAM_PROMPT_ECHO_OFF, "One-time code: "));
    EXPECT_EQ(result.prompts(), 1);
    expectOneLogLine(result, "alice", "success", "0000");

    // The delivery carried the user's code and value from the map.
    const auto lines = otpd.outboxLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{lines[0][0], alice, "010", "01012345678"}));

    // The code is used up: a second run gets a new one.
    EXPECT_EQ(run("alice", deliveredOtp(alice)).result, PAM_SUCCESS);
    EXPECT_EQ(otpd.outboxLines().size(), 2u);
}

TEST_F(PamModule, WrongCodeIsRefusedWithTheServiceMessage) {
    const PamRun wrong = run("alice", deliveredOtp(alice, 1));
    EXPECT_EQ(wrong.result, PAM_AUTH_ERR);
    EXPECT_TRUE(wrong.said(PAM_ERROR_MSG, kWrongOtpMessage));
    expectOneLogLine(wrong, "alice", "wrong-otp", "S103");

    // Without delivery the code sent before still stands after one error.
    useStack("");
    const PamRun right = run("alice", deliveredOtp(alice));
    EXPECT_EQ(right.result, PAM_SUCCESS);
    EXPECT_FALSE(right.said(PAM_TEXT_INFO, kSentInfo));
    EXPECT_EQ(otpd.outboxLines().size(), 1u);
}

TEST_F(PamModule, LockedSubscriberIsToldNotToTryAgain) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(run("bob", deliveredOtp(bob, 1 + i)).result, PAM_AUTH_ERR);
    }
    const PamRun locked = run("bob", deliveredOtp(bob));
    EXPECT_EQ(locked.result, PAM_MAXTRIES);
    EXPECT_EQ(locked.prompts(), 0) << "no prompt once the delivery is refused";
    EXPECT_TRUE(locked.said(PAM_ERROR_MSG, kLockedMessage));
    expectOneLogLine(locked, "bob", "locked", "S106");
    // alice is not affected.
    EXPECT_EQ(run("alice", deliveredOtp(alice)).result, PAM_SUCCESS);
}

TEST_F(PamModule, UnknownUserFailsOrIsIgnoredWithoutAsking) {
    useStack("unknown_user=fail");
    const PamRun failed = run("carol", answerWith("123456"));
    EXPECT_EQ(failed.result, PAM_USER_UNKNOWN);
    EXPECT_EQ(failed.prompts(), 0);
    expectOneLogLine(failed, "carol", "unknown-user", "-");

    // Rolled out gradually: unmapped users pass on to the rest of the stack,
    // mapped ones still have to give their code.
    useStack("unknown_user=ignore deliver", "auth required pam_permit.so\n");
    const PamRun ignored = run("carol", answerWith("123456"));
    EXPECT_EQ(ignored.result, PAM_SUCCESS);
    EXPECT_EQ(ignored.prompts(), 0);
    expectOneLogLine(ignored, "carol", "unknown-user-ignored", "-");
    EXPECT_EQ(run("alice", deliveredOtp(alice, 1)).result, PAM_AUTH_ERR);
    EXPECT_EQ(run("alice", deliveredOtp(alice)).result, PAM_SUCCESS);

    EXPECT_EQ(requestsServed(), 2 + 4) << "two joins, then alice's two deliveries and checks";
}

TEST_F(PamModule, ServiceDownIsAuthinfoUnavailable) {
    EXPECT_EQ(otpd.stop(), 0);
    for (const std::string arguments : {"deliver", ""}) {
        useStack(arguments);
        const auto start = std::chrono::steady_clock::now();
        const PamRun down = run("alice", answerWith("123456"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(down.result, PAM_AUTHINFO_UNAVAIL) << arguments;
        EXPECT_TRUE(down.said(PAM_ERROR_MSG, kUnreachable));
        expectOneLogLine(down, "alice", "unreachable", "N001");
    }
}

TEST_F(PamModule, BackupServesWhenThePrimaryRefuses) {
    // Nothing listens on 127.0.0.2 at otpd's port: the connection is refused
    // and the same attempt goes on to the backup.
    writeSettings(otpd.port(), "127.0.0.2, 127.0.0.1");
    EXPECT_EQ(run("alice", deliveredOtp(alice)).result, PAM_SUCCESS);
    writeSettings(otpd.port(), "127.0.0.2");
    EXPECT_EQ(run("alice", deliveredOtp(alice)).result, PAM_AUTHINFO_UNAVAIL);
}

TEST_F(PamModule, UnsafeOrBrokenSetupIsRefusedBeforeAnythingIsSent) {
    const bool root = geteuid() == 0;
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t other = nobody->pw_uid;
    struct Case {
        const char* what;
        std::function<void()> spoil;
        bool needsRoot;
    };
    const std::vector<Case> cases = {
        {"key readable by others", [&] { chmod(path("key").c_str(), 0604); }, false},
        {"key readable by the group", [&] { chmod(path("key").c_str(), 0640); }, false},
        {"key owned by another user", [&] { (void)chown(path("key").c_str(), other, -1); }, true},
        {"map readable by others", [&] { chmod(path("users").c_str(), 0604); }, false},
        {"map owned by another user", [&] { (void)chown(path("users").c_str(), other, -1); }, true},
        {"settings writable by others", [&] { chmod(path("pam.conf").c_str(), 0646); }, false},
        {"settings owned by another user",
         [&] { (void)chown(path("pam.conf").c_str(), other, -1); }, true},
        {"key is a directory",
         [&] {
             fs::remove(path("key"));
             fs::create_directory(path("key"));
             chmod(path("key").c_str(), 0700);
         },
         false},
        {"settings missing", [&] { fs::remove(path("pam.conf")); }, false},
        {"unknown setting", [&] { std::ofstream(path("pam.conf"), std::ios::app) << "prot=1\n"; },
         false},
        {"misspelt argument", [&] { useStack("unknown_user=ignroe"); }, false},
        {"malformed identity for the user",
         [&] { writeFile("users", "alice " + alice.substr(1) + "\n", 0600); }, false},
        {"user named twice",
         [&] { writeFile("users", "alice " + alice + "\nalice " + bob + "\n", 0600); }, false},
        {"key over 32 bytes", [&] { writeFile("key", std::string(33, 'k'), 0600); }, false},
        {"key not UTF-8", [&] { writeFile("key", "k\xff\xc3", 0600); }, false},
    };
    int ran = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            continue;  // only root can give a file to another user
        }
        writeSetup();
        c.spoil();
        const int served = requestsServed();
        const PamRun refused = run("alice", answerWith("123456"));
        EXPECT_EQ(refused.result, PAM_SERVICE_ERR);
        EXPECT_EQ(refused.prompts(), 0);
        EXPECT_EQ(requestsServed(), served);
        ASSERT_EQ(refused.log.size(), 1u);
        EXPECT_NE(refused.log[0].find("outcome=refused"), std::string::npos) << refused.log[0];
        expectNoSecrets(refused.log);
        ++ran;
    }
    EXPECT_GE(ran, 11);
    if (!root) {
        // The installed module wants root's files, whoever runs it.
        writeSetup();
        writeFile(
            kService,
            "auth required " + std::string(PAM_MODULE_PATH) + " config=" + path("pam.conf") + "\n",
            0644);
        EXPECT_EQ(run("alice", answerWith("123456")).result, PAM_SERVICE_ERR);
    }
}

TEST_F(PamModule, KoreanSiteAndKeyMaterial) {
    // Both are UTF-8 in the files and code page 949 on the wire.
    OtpdProcess korean;
    ASSERT_TRUE(korean.start({"--site", "사이트:한글 키 자료"}));
    writeSettings(korean.port(), "127.0.0.1", "사이트");
    writeFile("key", "한글 키 자료\n", 0600);
    {
        ServiceClientFor client(korean.port());
        ASSERT_EQ(client.get().reqJoin(Text(alice), 1), S_OK);
    }
    const PamRun result = run("alice", [&](const std::string&) { return korean.lastOtp(alice); });
    EXPECT_EQ(result.result, PAM_SUCCESS);
    EXPECT_NE(korean.log().find("site '사이트'"), std::string::npos) << korean.log();
}

TEST_F(PamModule, SilentServiceIsBoundedByTheLibrarysLimits) {
    // A listener that never accepts: the connection is made by the kernel, the
    // request sent, and no reply ever comes.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    writeSettings(ntohs(address.sin_port));
    useStack("");
    const auto start = std::chrono::steady_clock::now();
    const PamRun silent = run("alice", answerWith("123456"));
    const auto took = std::chrono::steady_clock::now() - start;
    close(listener);
    EXPECT_EQ(silent.result, PAM_AUTHINFO_UNAVAIL);
    expectOneLogLine(silent, "alice", "unreachable", "N002");
    EXPECT_LT(took, std::chrono::seconds(35));
}

TEST_F(PamModule, ServiceRefusingTheSiteIsAConfigurationFault) {
    // A key that does not open the identity, and a site the service does not know.
    writeFile("key", "another key\n", 0600);
    EXPECT_EQ(run("alice", answerWith("123456")).result, PAM_SERVICE_ERR);
    writeFile("key", std::string(kKey) + "\n", 0600);
    writeSettings(otpd.port(), "127.0.0.1", "NOSUCH");
    const PamRun unknownSite = run("alice", answerWith("123456"));
    EXPECT_EQ(unknownSite.result, PAM_SERVICE_ERR);
    expectOneLogLine(unknownSite, "alice", "configuration-refused", "S201");
}

TEST_F(PamModule, EntriesThatAreNoCodeAreRefusedUnsent) {
    useStack("");
    const int served = requestsServed();
    const std::vector<std::string> entries = {"",
                                              "12a456",
                                              "12345678",
                                              " 123456",
                                              "123456 ",
                                              "-12345",
                                              "\xef\xbc\x91\xef\xbc\x92",
                                              std::string(300, '1')};
    for (const std::string& entry : entries) {
        SCOPED_TRACE("entry '" + entry + "'");
        const PamRun refused = run("alice", answerWith(entry));
        EXPECT_EQ(refused.result, PAM_AUTH_ERR);
        EXPECT_TRUE(refused.said(PAM_ERROR_MSG, kMalformed));
        expectOneLogLine(refused, "alice", "malformed-entry", "-");
    }
    EXPECT_EQ(requestsServed(), served);
    // PAM_SILENT: the refusal stands, the message is not shown.
    const PamRun silent = run("alice", answerWith("x"), PAM_SILENT);
    EXPECT_EQ(silent.result, PAM_AUTH_ERR);
    EXPECT_EQ(silent.messages.size(), 1u) << "only the prompt";
    // A conversation that fails gives PAM_CONV_ERR.
    EXPECT_EQ(run("alice", nullptr).result, PAM_CONV_ERR);
}

TEST_F(PamModule, CustomPromptAndSeveralUsersAtOnce) {
    useStack("deliver [prompt=Code from your phone: ]");
    std::vector<int> results(4, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const std::string& who = t % 2 == 0 ? alice : bob;
            const PamRun r = runPam(dir, kService, t % 2 == 0 ? "alice" : "bob",
                                    [&](const std::string& prompt) -> std::optional<std::string> {
                                        if (prompt != "Code from your phone: ") {
                                            return std::nullopt;
                                        }
                                        return otpd.lastOtp(who);
                                    });
            results[t] = r.result;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    // Two logins per subscriber at once: each delivery replaces the other's
    // code, so per subscriber at least one succeeds and any other is refused as
    // a wrong or used code, never anything else.
    for (int t = 0; t < 2; ++t) {
        EXPECT_TRUE(results[t] == PAM_SUCCESS || results[t + 2] == PAM_SUCCESS);
    }
    for (const int r : results) {
        EXPECT_TRUE(r == PAM_SUCCESS || r == PAM_AUTH_ERR) << r;
    }
    expectNoSecrets(capturedLog());
}

#ifdef PAM_SET_ITEMS_PATH
TEST_F(PamModule, FirstPassTokens) {
    // pam_set_items.so (from libpam-wrapper) stores PAM_AUTHTOK from the
    // environment, as a password module before this one would.
    const std::string setter = "auth required " + std::string(PAM_SET_ITEMS_PATH) + "\n";
    const auto stack = [&](const std::string& arguments) {
        writeFile(kService,
                  setter + "auth required " + modulePath() + " config=" + path("pam.conf") + " " +
                      arguments + "\n",
                  0644);
    };
    ServiceClientFor client(otpd.port());
    const auto issue = [&] {
        EXPECT_EQ(client.get().reqReissue(Text(alice), 1, Text("010"), Text("x")), S_OK);
        return *otpd.lastOtp(alice);
    };

    stack("use_first_pass");
    setenv("PAM_AUTHTOK", issue().c_str(), 1);
    PamRun used = run("alice", nullptr);
    EXPECT_EQ(used.result, PAM_SUCCESS);
    EXPECT_EQ(used.prompts(), 0);
    setenv("PAM_AUTHTOK", "a password", 1);
    used = run("alice", answerWith(issue()));
    EXPECT_EQ(used.result, PAM_AUTH_ERR);
    EXPECT_EQ(used.prompts(), 0) << "use_first_pass never prompts";

    stack("try_first_pass");
    const std::string otp = issue();
    setenv("PAM_AUTHTOK", otp == "000000" ? "111111" : "000000", 1);
    const PamRun tried = run("alice", answerWith(otp));
    EXPECT_EQ(tried.result, PAM_SUCCESS);
    EXPECT_EQ(tried.prompts(), 1);
    EXPECT_FALSE(tried.said(PAM_ERROR_MSG, kWrongOtpMessage)) << "the token was not typed here";
    ASSERT_EQ(tried.log.size(), 2u) << "one line per check";
    EXPECT_NE(tried.log[0].find("code=S103"), std::string::npos);
    EXPECT_NE(tried.log[1].find("code=0000"), std::string::npos);
    setenv("PAM_AUTHTOK", "a password", 1);
    EXPECT_EQ(run("alice", answerWith(issue())).result, PAM_SUCCESS) << "not a code: prompts";
    unsetenv("PAM_AUTHTOK");
}
#endif

}  // namespace
}  // namespace otpcli::test
