// The process-wide pair of servers (primary, backup) with sticky fail-over.
#pragma once

#include <cstddef>

namespace otpcli {

inline constexpr int kFailoverThreshold = 5;
inline constexpr std::size_t kMaxHostNameBytes = 255;

struct ServerTableState {
    int currentIndex;
    int failureCounts[2];
    int lastTried;  // the server chosen last, -1 before the first choice
};

// The server to try next: the current one, or the other once the current one
// has failed kFailoverThreshold times in a row. Once both have, the two take
// turns, so that whichever answers again is found within two requests. Copies
// its host name, NUL terminated, into host (kMaxHostNameBytes + 1 bytes).
int chooseServer(char* host) noexcept;
// One failed connect to server i.
void recordConnectFailure(int i) noexcept;
// A successful connect to server i: it becomes current and both counts clear.
void recordConnectSuccess(int i) noexcept;

// Host name of the current server into host (kMaxHostNameBytes + 1 bytes).
void currentHostName(char* host) noexcept;

// Replaces both host names (non-empty, at most kMaxHostNameBytes bytes each) and
// returns the table to its first state; false, with nothing changed, otherwise.
bool replaceServerHosts(const char* primary, const char* backup) noexcept;

ServerTableState serverTableState() noexcept;

}  // namespace otpcli
