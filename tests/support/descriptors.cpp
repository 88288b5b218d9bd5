#include "support/descriptors.h"

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
