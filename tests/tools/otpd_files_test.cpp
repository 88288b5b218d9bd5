// otpd and the files around it: site files only other users cannot change, an
// outbox no one else reads that cannot be redirected or stall the service and
// can be rotated, and a log whose reader may go away.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/child_process.h"
#include "tools/hand_frames.h"
#include "tools/otpd_process.h"
#include "tools/raw_client.h"
#include "tools/service_client.h"

namespace otpcli::test {
namespace {

using std::chrono::milliseconds;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh directory for one test's files, removed at the end.
class TempDirectory {
  public:
    TempDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "otpd-files-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Starts otpd with args; on a listening line, stops it with SIGTERM. The exit
// status (0 after a start and stop) and everything it wrote on stderr.
RunResult startAndStop(const std::vector<std::string>& args, const std::string& logPath) {
    RunResult result;
    ChildProcess otpd;
    std::vector<std::string> all{"--listen", "127.0.0.1", "--port", "0"};
    all.insert(all.end(), args.begin(), args.end());
    if (otpd.start(OTPD_PATH, all, logPath)) {
        const std::optional<std::string> line = otpd.readLine(milliseconds(5000));
        result.out = line.value_or("");
        result.exitCode = line ? otpd.stop(SIGTERM) : otpd.stop(SIGKILL, milliseconds(5000));
        if (!line) {
            // It ended by itself: the exit status comes from a run to the end.
            result = runProgram(OTPD_PATH, all);
        }
    }
    result.err = readFile(logPath);
    return result;
}

std::string joinFrame(char who) {
    return handFrame("0000200", kSite, sealedBlock(std::string(40, who), kKey));
}

// Joins person (once) and has an OTP issued to them through the library; the
// result code of the issue.
std::string issue(int port, const std::string& person) {
    ServiceClient client;
    if (client.init(port, w(utf16(kSite)), w(utf16(kKey))) != S_OK ||
        OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")) != S_OK) {
        return "init";
    }
    client.reqJoin(w(utf16(person)), 0);
    client.reqIssue(w(utf16(person)), w(u"SMS"), w(u"01012345678"));
    return client.code();
}

TEST(OtpdSiteFiles, OnlyFilesNoOneElseMayChangeAreRead) {
    TempDirectory dir;
    const std::string site = std::string(kSite) + ":" + kKey + "\n";
    const std::string file = dir / "sites.conf";
    const struct {
        const char* name;
        mode_t mode;
        bool otherOwner;
        bool starts;
        const char* says;  // on stderr
    } cases[] = {
        {"mode 600", 0600, false, true, nullptr},
        {"mode 400", 0400, false, true, nullptr},
        {"readable by the group", 0640, false, true, "other users may read it"},
        {"readable by all", 0644, false, true, "other users may read it"},
        {"writable by the group", 0620, false, false, "other users may write it"},
        {"writable by all", 0602, false, false, "other users may write it"},
        {"owned by another user", 0600, true, false, "not owned by the user running otpd"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(writePrivateFile(file, site, c.mode));
        if (c.otherOwner) {
            if (::geteuid() != 0) {
                // Without root, a file of another user's: the check comes first.
                continue;
            }
            ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        }
        const RunResult r = startAndStop({"--config", file}, dir / "log");
        EXPECT_EQ(r.exitCode, c.starts ? 0 : 2) << c.name << ": " << r.err;
        EXPECT_EQ(r.out.rfind("listening", 0) == 0, c.starts) << c.name;
        if (c.says != nullptr) {
            EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
        } else {
            EXPECT_EQ(r.err.find("warning"), std::string::npos) << c.name << ": " << r.err;
        }
        ::unlink(file.c_str());
    }
    const RunResult directory = startAndStop({"--config", dir / "."}, dir / "log");
    EXPECT_EQ(directory.exitCode, 2) << directory.err;
}

TEST(OtpdSiteFiles, SitesFromStandardInputAndTheCommandLine) {
    TempDirectory dir;
    // A pipe on standard input is the caller's own: read like a private file.
    // (The outbox, opened once the sites are read, stops it.)
    const std::string script = "printf '%s\\n' 'S:k' | '" + std::string(OTPD_PATH) +
                               "' --port 0 --config /dev/stdin --outbox / 2>" + (dir / "log");
    EXPECT_EQ(WEXITSTATUS(std::system(script.c_str())), 2);
    const std::string log = readFile(dir / "log");
    EXPECT_EQ(log.rfind("otpd: --outbox:", 0), 0U) << log;

    // --site keeps working, with a warning that says why it should not be used.
    const RunResult r = startAndStop({"--site", "S:k"}, dir / "log");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("every local user can read it"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--config"), std::string::npos) << r.err;
}

TEST(OtpdOutbox, IsCreatedForItsOwnerAlone) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start());
    EXPECT_EQ(issue(otpd.port(), residentNumber("850503123456")), "0000");
    struct stat st {};
    ASSERT_EQ(::stat((otpd.directory() + "/outbox").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600U);
    EXPECT_EQ(otpd.outboxLines().size(), 1U);
    EXPECT_EQ(otpd.log().find(otpd.outboxLines()[0][0] + "\t"), std::string::npos)
        << "the OTP stays out of the log";
}

TEST(OtpdOutbox, AnythingButARegularFileIsRefusedAtOnce) {
    TempDirectory dir;
    ASSERT_TRUE(writePrivateFile(dir / "sites.conf", std::string(kSite) + ":" + kKey + "\n"));
    ASSERT_TRUE(writePrivateFile(dir / "target", ""));
    ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "directory").c_str(), 0700), 0);
    const struct {
        const char* name;
        std::string path;
        const char* says;
    } cases[] = {
        {"a symbolic link", dir / "link", "symbolic link"},
        {"a FIFO without a reader", dir / "fifo", "cannot open outbox"},
        {"a directory", dir / "directory", "cannot open outbox"},
        {"a device", "/dev/null", "not a regular file"},
    };
    for (const auto& c : cases) {
        const RunResult r = runProgram(
            OTPD_PATH, {"--port", "0", "--config", dir / "sites.conf", "--outbox", c.path}, {},
            std::chrono::seconds(5));
        EXPECT_FALSE(r.timedOut) << c.name;
        EXPECT_EQ(r.exitCode, 2) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
    }
    // A FIFO with a reader opens, and is still refused.
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const RunResult r = runProgram(
        OTPD_PATH, {"--port", "0", "--config", dir / "sites.conf", "--outbox", dir / "fifo"}, {},
        std::chrono::seconds(5));
    ::close(reader);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir / "target"), "") << "nothing written through the link";
}

TEST(OtpdOutbox, HangupReopensItAfterARotation) {
    OtpdProcess otpd;
    ASSERT_TRUE(otpd.start());
    const std::string outbox = otpd.directory() + "/outbox";
    const std::string alice = residentNumber("850503123456");
    const std::string bob = residentNumber("900101234567");
    ServiceClient client;
    const std::string bobsText = client.identityText(bob);
    const auto hangup = [&] {
        ::kill(otpd.pid(), SIGHUP);
        // The reopening is logged once it is done.
        for (int i = 0; i < 100 && otpd.log().find("reopening") == std::string::npos; ++i) {
            std::this_thread::sleep_for(milliseconds(20));
        }
        std::this_thread::sleep_for(milliseconds(50));
    };
    ASSERT_EQ(issue(otpd.port(), alice), "0000");
    ASSERT_EQ(::rename(outbox.c_str(), (outbox + ".1").c_str()), 0);
    hangup();
    ASSERT_EQ(issue(otpd.port(), bob), "0000");
    EXPECT_EQ(readFile(outbox + ".1").find(bobsText), std::string::npos);
    EXPECT_NE(readFile(outbox).find(bobsText), std::string::npos);

    // A link put in its place is not followed: deliveries fail, and the
    // service goes on.
    ASSERT_EQ(::rename(outbox.c_str(), (outbox + ".2").c_str()), 0);
    ASSERT_EQ(::symlink((outbox + ".1").c_str(), outbox.c_str()), 0);
    ::kill(otpd.pid(), SIGHUP);
    std::this_thread::sleep_for(milliseconds(200));
    const std::string rotated = readFile(outbox + ".1");
    EXPECT_EQ(issue(otpd.port(), alice), "S301");
    EXPECT_EQ(readFile(outbox + ".1"), rotated);
    EXPECT_TRUE(otpd.running());
    EXPECT_EQ(otpd.stop(), 0);
}

TEST(OtpdLog, AReaderThatGoesAwayDoesNotStopTheService) {
    TempDirectory dir;
    ASSERT_TRUE(writePrivateFile(dir / "sites.conf", std::string(kSite) + ":" + kKey + "\n"));
    ASSERT_EQ(::mkfifo((dir / "log").c_str(), 0600), 0);
    const int reader = ::open((dir / "log").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ChildProcess otpd;
    ASSERT_TRUE(otpd.start(OTPD_PATH,
                           {"--listen", "127.0.0.1", "--port", "0", "--config", dir / "sites.conf"},
                           dir / "log"));
    const std::optional<std::string> line = otpd.readLine(milliseconds(5000));
    ASSERT_TRUE(line.has_value());
    const int port = std::stoi(line->substr(line->rfind(':') + 1));
    ::close(reader);
    for (const char who : {'a', 'b', 'c'}) {
        EXPECT_EQ(parseReply(exchangeRaw("127.0.0.1", port, joinFrame(who), false).received).code,
                  "0000")
            << who;
    }
    EXPECT_TRUE(otpd.running());
    EXPECT_EQ(otpd.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace otpcli::test
