#include "reliability/reliability_fixture.h"

#include <thread>

namespace otpcli::test {

bool descriptorsSettleTo(int count, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (openDescriptorCount() != count) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace otpcli::test
