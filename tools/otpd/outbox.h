// Delivery of issued OTPs. The service has no messaging gateway: it appends one
// line per OTP to an outbox file, where a person or a test picks it up, and
// logs the delivery.
#pragma once

#include <ostream>
#include <string>

namespace otpd {

struct Delivery {
    std::string otp;
    std::string identity;  // the 40-character identity text
    std::string codeText;  // code page 949 bytes from the frame
    std::string valueText;
};

class Outbox {
  public:
    // An empty path delivers to the log only.
    Outbox(std::string path, std::ostream& log);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Opens the file, or opens it again after it was moved away for rotation:
    // appended to, created with mode 0600, never through a symbolic link, and
    // never anything but a regular file (a FIFO is refused without waiting for
    // a reader). Logs a warning when other users may read it. False, with the
    // reason in error, when it cannot; deliveries then fail until it can.
    bool open(std::string& error);

    // Appends "OTP<TAB>IDENTITY<TAB>CODE<TAB>VALUE" (texts in UTF-8) to the
    // file with one write. False when the file is not open (after trying to
    // open it) or the line could not be written whole.
    bool deliver(const Delivery& delivery);

  private:
    void closeFile();

    std::string path_;
    std::ostream& log_;
    int fd_ = -1;
};

}  // namespace otpd
