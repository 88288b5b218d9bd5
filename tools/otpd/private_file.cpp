#include "private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "crypto/wipe.h"

namespace otpd {

std::optional<std::string> readPrivateFile(const std::string& path, std::string& error,
                                           std::string& warning) {
    // O_NONBLOCK: a FIFO without a writer opens at once (and reads as empty).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) {
        ::close(fd);
        error = path + " is not a regular file";
        return std::nullopt;
    }
    if (st.st_uid != ::geteuid()) {
        ::close(fd);
        error = path + " holds key material but is not owned by the user running otpd";
        return std::nullopt;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        ::close(fd);
        error = path + " holds key material but other users may write it: chmod go-w it";
        return std::nullopt;
    }
    if ((st.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        warning = path + " holds key material but other users may read it: chmod 600 it";
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    std::string contents;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || contents.size() + static_cast<std::size_t>(n) > kMaxPrivateFileBytes) {
            const bool failed = n != 0;
            const int readError = errno;
            ::close(fd);
            otpcli::wipe(buffer.data(), buffer.size());
            if (failed) {
                otpcli::wipe(contents.data(), contents.size());
                error = n < 0 ? "cannot read " + path + ": " + std::strerror(readError)
                              : path + " is larger than a site file can be";
                return std::nullopt;
            }
            return contents;
        }
        // Grown ahead, so that no smaller copy of the key material is left
        // behind unwiped by a reallocation.
        if (contents.capacity() < contents.size() + static_cast<std::size_t>(n)) {
            std::string bigger;
            bigger.reserve(2 * (contents.size() + static_cast<std::size_t>(n)));
            bigger = contents;
            otpcli::wipe(contents.data(), contents.size());
            contents.swap(bigger);
        }
        contents.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

}  // namespace otpd
