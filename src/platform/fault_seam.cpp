#include "platform/fault_seam.h"

#include "platform/socket.h"

namespace otpcli::platform {
namespace {

thread_local int faultAt = 0;
thread_local int callsCounted = 0;

}  // namespace

bool injectFault() noexcept {
    ++callsCounted;
    if (faultAt > 0 && callsCounted == faultAt) {
        setSocketError(kErrorInjected);
        return true;
    }
    return false;
}

int failSocketCallAt(int k) noexcept {
    const int counted = callsCounted;
    faultAt = k;
    callsCounted = 0;
    return counted;
}

int socketCallsCounted() noexcept {
    return callsCounted;
}

}  // namespace otpcli::platform
