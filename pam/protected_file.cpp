#include "protected_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace otpcli::pam {
namespace {

// Closes the descriptor on every path.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string systemError(int number) {
    std::array<char, 128> text{};
    // The GNU strerror_r: the message, not always in the buffer.
    return strerror_r(number, text.data(), text.size());
}

}  // namespace

bool readProtectedFile(const std::string& path, FileKind kind, std::size_t maxBytes,
                       SecretBytes& out, std::string& error) {
    out.clear();
    // O_NONBLOCK: a FIFO put in the file's place does not hold the login up.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        error = path + ": " + systemError(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        error = path + ": " + systemError(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    if (status.st_uid != requiredOwner()) {
        error = path + ": owned by uid " + std::to_string(status.st_uid) + ", not uid " +
                std::to_string(requiredOwner());
        return false;
    }
    const mode_t forbidden = kind == FileKind::Secret ? (S_IRWXG | S_IRWXO) : (S_IWGRP | S_IWOTH);
    if ((status.st_mode & forbidden) != 0) {
        error = path + (kind == FileKind::Secret ? ": group or others have access to it"
                                                 : ": group or others may write to it");
        return false;
    }
    if (status.st_size < 0 || static_cast<std::size_t>(status.st_size) > maxBytes) {
        error = path + ": larger than " + std::to_string(maxBytes) + " bytes";
        return false;
    }
    out.reset(static_cast<std::size_t>(status.st_size));
    std::array<char, 4096> chunk{};
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int number = errno;
            wipe(chunk.data(), chunk.size());
            out.clear();
            error = path + ": " + systemError(number);
            return false;
        }
        if (got == 0) {
            break;
        }
        if (!out.append(std::string_view(chunk.data(), static_cast<std::size_t>(got)))) {
            wipe(chunk.data(), chunk.size());
            out.clear();
            error = path + ": changed while it was read";
            return false;
        }
    }
    wipe(chunk.data(), chunk.size());
    return true;
}

}  // namespace otpcli::pam
