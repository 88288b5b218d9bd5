// A bare TCP client for sending otpd bytes that the library never would.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace otpcli::test {

struct RawExchange {
    bool connected = false;
    std::string received;
    bool closedByPeer = false;  // end of file or reset seen before the time ran out
    std::chrono::milliseconds elapsed{0};
};

// Connects to host:port (from the loopback address source when one is given),
// sends bytes, half-closes when asked, and reads until the peer closes or
// timeout passes.
RawExchange exchangeRaw(const char* host, int port, std::string_view bytes, bool halfClose,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5),
                        const char* source = nullptr);

// A connection kept open, closed on destruction; it sends only when told to.
class SilentConnection {
  public:
    SilentConnection(const char* host, int port, const char* source = nullptr);
    ~SilentConnection();
    SilentConnection(const SilentConnection&) = delete;
    SilentConnection& operator=(const SilentConnection&) = delete;

    bool connected() const { return fd_ >= 0; }
    // Waits until the peer closes; false when timeout passes first.
    bool waitForClose(std::chrono::milliseconds timeout);
    // Sends all of bytes; false when the connection fails first.
    bool send(std::string_view bytes);
    // What arrives until the peer closes or timeout passes.
    std::string receive(std::chrono::milliseconds timeout);

  private:
    int fd_ = -1;
};

// A reply split into its parts; ok is false unless the length field announces
// exactly the body that follows.
struct ParsedReply {
    bool ok = false;
    std::string body;
    std::string code;     // body bytes 40-43
    std::string message;  // from body byte 47
};
ParsedReply parseReply(const std::string& bytes);

}  // namespace otpcli::test
