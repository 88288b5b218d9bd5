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

    // Appends "OTP<TAB>IDENTITY<TAB>CODE<TAB>VALUE" (texts in UTF-8) to the
    // file and flushes it. False when the file cannot be written.
    bool deliver(const Delivery& delivery);

  private:
    std::string path_;
    std::ostream& log_;
};

}  // namespace otpd
