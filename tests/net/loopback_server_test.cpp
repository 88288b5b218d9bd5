#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/loopback_server.h"
#include "support/sockets.h"

namespace otpcli::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A plain blocking client, independent of the library under test.
class Client {
  public:
    explicit Client(std::uint16_t port) : fd_(openTcpSocket()) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(0x7F000001);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
        setReceiveTimeout(fd_, 3000);
    }
    ~Client() { closeSocketHandle(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return connected_; }
    void shutdownWrite() { ::shutdown(fd_, kShutdownWrite); }
    bool send(const std::string& bytes) {
        const auto sent = ::send(fd_, bytes.data(), bytes.size(), kSendNoSignal);
        return sent >= 0 && static_cast<std::size_t>(sent) == bytes.size();
    }
    // Everything until the server closes (or three seconds of silence).
    std::string readToEnd() {
        std::string got;
        char chunk[256];
        for (auto r = ::recv(fd_, chunk, sizeof chunk, 0); r > 0;
             r = ::recv(fd_, chunk, sizeof chunk, 0)) {
            got.append(chunk, static_cast<std::size_t>(r));
        }
        return got;
    }

  private:
    SocketHandle fd_;
    bool connected_ = false;
};

TEST(LoopbackServer, PlaysOneScriptPerConnectionAndRecordsWhatItRead) {
    LoopbackServer server({Script().readFrame().send("00003abc"),
                           Script().read(4).readFrame().send("0123456789", 3, 5ms)});
    ASSERT_TRUE(server.listening());
    {
        Client first(server.port());
        ASSERT_TRUE(first.connected());
        ASSERT_TRUE(first.send("00005hello"));
        EXPECT_EQ(first.readToEnd(), "00003abc");
    }
    {
        Client second(server.port());
        ASSERT_TRUE(second.connected());
        ASSERT_TRUE(second.send("abcd"));
        ASSERT_TRUE(second.send("00002xy"));
        EXPECT_EQ(second.readToEnd(), "0123456789");
    }
    ASSERT_TRUE(server.waitUntilDone());
    EXPECT_EQ(server.acceptedCount(), 2);
    EXPECT_EQ(server.finishedCount(), 2);
    EXPECT_EQ(server.received(), (std::vector<std::string>{"00005hello", "abcd", "00002xy"}));
}

TEST(LoopbackServer, ReadCutShortRecordsWhatCameAndEndsTheConnection) {
    const struct {
        const char* name;
        Script script;
        std::string sent;
        std::string recorded;
    } cases[] = {
        {"peer closed", Script().read(10).send("unsent"), "abc", "abc"},
        {"frame length not digits", Script().readFrame().send("unsent"), "12a45rest", "12a45"},
        {"frame body short", Script().readFrame().send("unsent"), "00009abc", "00009abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server({c.script});
        ASSERT_TRUE(server.listening());
        Client client(server.port());
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.send(c.sent));
        client.shutdownWrite();
        EXPECT_TRUE(server.waitUntilDone());
        EXPECT_EQ(server.received(), std::vector<std::string>{c.recorded});
        EXPECT_EQ(client.readToEnd(), "");
    }
}

TEST(LoopbackServer, DestructorEndsAPauseAtOnce) {
    auto server = std::make_unique<LoopbackServer>(std::vector<Script>{Script().pause(60s)});
    ASSERT_TRUE(server->listening());
    Client client(server->port());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(server->waitForAccepted(1));
    const auto start = Clock::now();
    server.reset();
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST(LoopbackServer, StaysOnTheLoopbackNetwork) {
    for (const char* address : {"10.0.0.1", "0.0.0.0", "192.168.1.1", "localhost"}) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(LoopbackServer({}, address).listening());
        EXPECT_FALSE(RefusingPort(address).bound());
    }
    EXPECT_TRUE(LoopbackServer({}, "127.0.0.9").listening());
}

}  // namespace
}  // namespace otpcli::test
