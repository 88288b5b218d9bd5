// A scripted stand-in for the service: records every request frame and answers
// each with the reply it was given.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/sockets.h"

namespace otpcli::test {

class RecordingService {
  public:
    // Listens on address with an ephemeral port.
    explicit RecordingService(const char* address = "127.0.0.1");
    ~RecordingService();
    RecordingService(const RecordingService&) = delete;
    RecordingService& operator=(const RecordingService&) = delete;

    int port() const { return port_; }

    // The raw bytes sent, length field included, after each following request.
    void setReply(std::string bytes);
    // A reply body with the result code at byte 40 and the message from byte 47.
    static std::string reply(const std::string& code, const std::string& mesg);

    // The request frames received so far, length field included.
    std::vector<std::string> frames() const;
    int connections() const { return connections_.load(); }

  private:
    void serve();
    void handle(SocketHandle client);

    SocketHandle listener_ = kNoSocketHandle;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::string reply_;
    std::vector<std::string> frames_;
    std::thread thread_;
};

}  // namespace otpcli::test
