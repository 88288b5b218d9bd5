#include "support/descriptors.h"

#if defined(_WIN32)

#include <windows.h>

namespace otpcli::test {

// Sockets are handles too: the process's handle count.
int openDescriptorCount() {
    DWORD count = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &count)) {
        return -1;
    }
    return static_cast<int>(count);
}

}  // namespace otpcli::test

#else

#include <filesystem>
#include <system_error>

namespace otpcli::test {

int openDescriptorCount() {
    std::error_code error;
    std::filesystem::directory_iterator entries("/proc/self/fd", error);
    if (error) {
        return -1;
    }
    int count = 0;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (error) {
            return -1;
        }
        ++count;
    }
    return count;
}

}  // namespace otpcli::test

#endif
