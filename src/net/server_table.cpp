#include "net/server_table.h"

#include <cstring>
#include <mutex>

namespace otpcli {
namespace {

struct ServerTable {
    std::mutex mutex;
    char hosts[2][kMaxHostNameBytes + 1] = {OTPCLI_PRIMARY_HOST, OTPCLI_BACKUP_HOST};
    int currentIndex = 0;
    int failureCounts[2] = {0, 0};
    int lastTried = -1;
};

// Constant-initialised, so it is ready before any static constructor runs.
ServerTable table;

void copyHost(int i, char* host) {
    std::memcpy(host, table.hosts[i], kMaxHostNameBytes + 1);
}

}  // namespace

int chooseServer(char* host) noexcept {
    const std::lock_guard lock(table.mutex);
    int i = table.currentIndex;
    if (table.failureCounts[i] >= kFailoverThreshold) {
        i = 1 - i;
        // Both down as far as the counts tell: neither is given up for good.
        if (table.failureCounts[i] >= kFailoverThreshold && table.lastTried == i) {
            i = 1 - i;
        }
    }
    table.lastTried = i;
    copyHost(i, host);
    return i;
}

void recordConnectFailure(int i) noexcept {
    const std::lock_guard lock(table.mutex);
    ++table.failureCounts[i];
}

void recordConnectSuccess(int i) noexcept {
    const std::lock_guard lock(table.mutex);
    table.currentIndex = i;
    table.failureCounts[0] = 0;
    table.failureCounts[1] = 0;
}

void currentHostName(char* host) noexcept {
    const std::lock_guard lock(table.mutex);
    copyHost(table.currentIndex, host);
}

bool replaceServerHosts(const char* primary, const char* backup) noexcept {
    const std::size_t primaryLen = std::strlen(primary);
    const std::size_t backupLen = std::strlen(backup);
    if (primaryLen == 0 || backupLen == 0 || primaryLen > kMaxHostNameBytes ||
        backupLen > kMaxHostNameBytes) {
        return false;
    }
    const std::lock_guard lock(table.mutex);
    std::memset(table.hosts, 0, sizeof table.hosts);
    std::memcpy(table.hosts[0], primary, primaryLen);
    std::memcpy(table.hosts[1], backup, backupLen);
    table.currentIndex = 0;
    table.failureCounts[0] = 0;
    table.failureCounts[1] = 0;
    table.lastTried = -1;
    return true;
}

ServerTableState serverTableState() noexcept {
    const std::lock_guard lock(table.mutex);
    return {table.currentIndex, {table.failureCounts[0], table.failureCounts[1]}, table.lastTried};
}

}  // namespace otpcli
