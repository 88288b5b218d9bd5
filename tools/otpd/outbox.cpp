#include "outbox.h"

#include <fstream>

#include "codepage.h"

namespace otpd {

Outbox::Outbox(std::string path, std::ostream& log) : path_(std::move(path)), log_(log) {}

bool Outbox::deliver(const Delivery& delivery) {
    const std::string line = delivery.otp + '\t' + printable(delivery.identity) + '\t' +
                             printable(delivery.codeText) + '\t' + printable(delivery.valueText) +
                             '\n';
    log_ << "otpd: deliver " << line << std::flush;
    if (path_.empty()) {
        return true;
    }
    std::ofstream out(path_, std::ios::app | std::ios::binary);
    out << line;
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace otpd
