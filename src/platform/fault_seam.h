// The test seam of the socket calls, shared by every system's socket layer.
#pragma once

namespace otpcli::platform {

// Counts one socket call of the seam on this thread; true when this one is to
// fail, having set the thread's socket error to the seam's error.
bool injectFault() noexcept;

}  // namespace otpcli::platform
