#include "outbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "codepage.h"
#include "crypto/wipe.h"

namespace otpd {

Outbox::Outbox(std::string path, std::ostream& log) : path_(std::move(path)), log_(log) {}

Outbox::~Outbox() {
    closeFile();
}

void Outbox::closeFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool Outbox::open(std::string& error) {
    closeFile();
    if (path_.empty()) {
        return true;
    }
    // O_NONBLOCK: opening a FIFO that has no reader fails at once instead of
    // stalling the event loop.
    const int fd =
        ::open(path_.c_str(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
               S_IRUSR | S_IWUSR);
    if (fd < 0) {
        error = "cannot open outbox " + path_ + ": " +
                (errno == ELOOP ? std::string("it is a symbolic link") : std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "outbox " + path_ + " is not a regular file";
        return false;
    }
    if ((st.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        log_ << "otpd: warning: outbox " << path_
             << " is readable by other users, and OTPs are secrets: chmod 600 it\n"
             << std::flush;
    }
    fd_ = fd;
    return true;
}

bool Outbox::deliver(const Delivery& delivery) {
    const std::string fields = printable(delivery.identity) + '\t' + printable(delivery.codeText) +
                               '\t' + printable(delivery.valueText) + '\n';
    if (path_.empty()) {
        // Without an outbox the log is the delivery.
        log_ << "otpd: deliver " << delivery.otp << '\t' << fields << std::flush;
        return true;
    }
    // The OTP stays out of the log, which other people may read.
    log_ << "otpd: deliver to the outbox\t" << fields << std::flush;
    std::string line = delivery.otp + '\t' + fields;
    if (fd_ < 0) {
        std::string error;
        if (!open(error)) {
            log_ << "otpd: " << error << '\n' << std::flush;
            otpcli::wipe(line.data(), line.size());
            return false;
        }
    }
    // One write of the whole line, so that with O_APPEND lines from several
    // writers never interleave; a short write (a full disk) is a failure.
    ssize_t written = -1;
    do {
        written = ::write(fd_, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    otpcli::wipe(line.data(), line.size());
    return written == static_cast<ssize_t>(line.size());
}

}  // namespace otpd
