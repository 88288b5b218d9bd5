// The host's process as the library finds it: descriptor numbers above 1024,
// and SIGPIPE left at its default action, which ends the process.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "client/messages.h"
#include "net/transfer.h"
#include "reliability/reliability_fixture.h"
#include "requests/recording_service.h"
#include "support/loopback_server.h"

namespace otpcli::test {
namespace {

using namespace std::chrono_literals;

// Descriptor numbers that select() cannot watch start here.
constexpr int kSelectLimit = 1024;
constexpr int kHighDescriptor = kSelectLimit + 100;

class Resources : public ReliabilityTest {};

// Descriptors up to number kHighDescriptor taken for the length of a test, so
// that every new one gets a higher number; the soft limit raised for it.
class CrowdedDescriptorTable {
  public:
    CrowdedDescriptorTable() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit raised = saved_;
        if (raised.rlim_cur < kHighDescriptor + 64) {
            raised.rlim_cur = std::min<rlim_t>(raised.rlim_max, kHighDescriptor + 64);
            setrlimit(RLIMIT_NOFILE, &raised);
        }
        for (;;) {
            const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                break;
            }
            held_.push_back(fd);
            if (fd >= kHighDescriptor) {
                full_ = true;
                break;
            }
        }
    }
    ~CrowdedDescriptorTable() {
        for (const int fd : held_) {
            ::close(fd);
        }
        setrlimit(RLIMIT_NOFILE, &saved_);
    }
    CrowdedDescriptorTable(const CrowdedDescriptorTable&) = delete;
    CrowdedDescriptorTable& operator=(const CrowdedDescriptorTable&) = delete;

    bool full() const { return full_; }

  private:
    rlimit saved_{};
    std::vector<int> held_;
    bool full_ = false;
};

TEST_F(Resources, RequestsWorkWithDescriptorNumbersAbove1024) {
    RecordingService service;
    configure(service.port());
    service.setReply(RecordingService::reply("E700", "high descriptors"));
    const CrowdedDescriptorTable crowded;
    if (!crowded.full()) {
        GTEST_SKIP() << "cannot open " << kHighDescriptor << " descriptors here";
    }
    // The lowest free number is where the request's socket goes.
    const int next = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GT(next, kSelectLimit);
    ::close(next);
    EXPECT_EQ(client.reqJoin(w(kNumber), 0), E_FAIL);
    EXPECT_EQ(client.code(), "E700");
    EXPECT_EQ(client.mesg(), "high descriptors");
    EXPECT_EQ(service.connections(), 1);
}

// Restores the process's SIGPIPE action at the end of a test.
class DefaultSigpipe {
  public:
    DefaultSigpipe() { saved_ = std::signal(SIGPIPE, SIG_DFL); }
    ~DefaultSigpipe() { std::signal(SIGPIPE, saved_); }
    DefaultSigpipe(const DefaultSigpipe&) = delete;
    DefaultSigpipe& operator=(const DefaultSigpipe&) = delete;

  private:
    void (*saved_)(int) = SIG_DFL;
};

TEST_F(Resources, SendingToAClosedPeerRaisesNoSigpipe) {
    const DefaultSigpipe sigpipe;
    // A socket whose peer has gone: a plain send would raise SIGPIPE and end
    // the test program.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    ::close(pair[1]);
    EXPECT_EQ(sendAll(pair[0], "frame", 5, 50, 100), -1);
    EXPECT_EQ(platform::socketError(), EPIPE);
    ::close(pair[0]);
}

TEST_F(Resources, ServicesThatCloseEarlyRaiseNoSigpipe) {
    const DefaultSigpipe sigpipe;
    const int descriptors = openDescriptorCount();
    const std::vector<Script> scripts = {
        Script(),
        Script().reset(),
        Script().read(5),
        Script().read(5).reset(),
        Script().readFrame().send("000"),
    };
    for (int round = 0; round < 10; ++round) {
        for (const Script& script : scripts) {
            LoopbackServer server({script});
            ASSERT_TRUE(server.listening());
            configure(server.port());
            EXPECT_EQ(client.reqAddsvcCheck(w(u"010"), w(u"v")), E_FAIL);
            // A reset can reach the client before its connect is seen through.
            EXPECT_TRUE(client.code() == kTransferFailed.code ||
                        client.code() == kCannotConnect.code)
                << client.code();
        }
    }
    EXPECT_TRUE(descriptorsSettleTo(descriptors));
}

}  // namespace
}  // namespace otpcli::test
