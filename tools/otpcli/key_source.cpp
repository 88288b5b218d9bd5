#include "key_source.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace otpcli_tool {
namespace {

// At most kMaxKeyFileBytes + 1 bytes of fd, so that a longer file shows.
std::optional<std::string> readBounded(int fd) {
    std::array<char, kMaxKeyFileBytes + 1> buffer{};
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            explicit_bzero(buffer.data(), buffer.size());
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    std::string text(buffer.data(), got);
    explicit_bzero(buffer.data(), buffer.size());
    return text;
}

std::optional<std::string> readKeyFile(const std::string& path, std::string& error,
                                       std::string& warning) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is
    // then refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "cannot read key file " + path + ": " + strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "key file " + path + " is not a regular file";
        return std::nullopt;
    }
    if ((st.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        warning = "key file " + path + " is readable by group or others: chmod 600 it";
    }
    std::optional<std::string> key = readBounded(fd);
    ::close(fd);
    if (!key) {
        error = "cannot read key file " + path;
        return std::nullopt;
    }
    if (key->size() > kMaxKeyFileBytes) {
        wipe(*key);
        error = "key file " + path + " holds more than key material can (32 bytes)";
        return std::nullopt;
    }
    while (!key->empty() && (key->back() == '\n' || key->back() == '\r')) {
        key->pop_back();
    }
    if (key->empty()) {
        error = "key file " + path + " holds no key material";
        return std::nullopt;
    }
    return key;
}

}  // namespace

std::optional<std::string> readKeyMaterial(const std::string& keyFile, std::string& error,
                                           std::string& warning) {
    if (!keyFile.empty()) {
        return readKeyFile(keyFile, error, warning);
    }
    if (const char* value = std::getenv(kKeyVariable)) {
        if (*value == '\0') {
            error = std::string(kKeyVariable) + " is set but empty: no key material";
            return std::nullopt;
        }
        return std::string(value);
    }
    error = std::string("no key material: give --key-file FILE or set ") + kKeyVariable;
    return std::nullopt;
}

void wipe(std::string& text) noexcept {
    explicit_bzero(text.data(), text.size());
}

void wipe(std::u16string& text) noexcept {
    explicit_bzero(text.data(), text.size() * sizeof(char16_t));
}

}  // namespace otpcli_tool
