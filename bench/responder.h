// A fast local responder for round-trip benchmarks: accepts one connection at
// a time on a loopback address, reads one request frame (five length digits and
// the bytes they announce) and answers a fixed reply in a single write.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace otpcli::bench {

class Responder {
  public:
    // Listens on 127.0.0.1 with an ephemeral port and serves until destroyed.
    explicit Responder(std::string reply);
    ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    bool listening() const { return listener_ >= 0; }
    std::uint16_t port() const { return port_; }
    // Connections answered so far.
    long answered() const { return answered_.load(); }
    // The last request frame received, length field included.
    std::string lastFrame() const;

    // A reply: five length digits, then a body with code at byte 40 and the
    // message from byte 47.
    static std::string reply(const std::string& code, const std::string& mesg);

  private:
    void run();
    bool serve(int connection);

    std::string reply_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<long> answered_{0};
    mutable std::mutex mutex_;
    std::string lastFrame_;
    std::thread thread_;
};

}  // namespace otpcli::bench
