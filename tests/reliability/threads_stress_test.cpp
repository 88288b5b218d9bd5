// Many threads, each with its own client, run requests against two otpd
// processes (primary 127.0.0.1, backup 127.0.0.2, one port) while first the
// primary and then the backup goes down and comes back; two more threads hash
// text and read the current host on one shared object all the while. Built
// with ThreadSanitizer (tsan preset), any data race fails the run. Every
// request must end with 0000 or N001, the server table must move exactly as
// fail-over says, and the services' own logs must account for every success.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/server_table.h"
#include "support/text.h"
#include "tools/otpd_process.h"
#include "tools/service_client.h"

namespace otpcli::test {
namespace {

constexpr int kThreads = 8;
constexpr int kRequestsPerPhase = 150;  // per thread

enum Server { kPrimaryServer = 0, kBackupServer = 1 };

struct Phase {
    const char* name;
    bool primaryUp;
    bool backupUp;
    int currentAfter;  // the server table's current index at the end
};

// Each phase starts by starting or stopping the service that changes.
const Phase kPhases[] = {
    {"both up", true, true, kPrimaryServer},     {"primary down", false, true, kBackupServer},
    {"primary back", true, true, kBackupServer}, {"backup down", true, false, kPrimaryServer},
    {"backup back", true, true, kPrimaryServer},
};
constexpr int kPhaseCount = static_cast<int>(std::size(kPhases));

// Successes an otpd instance logged: one " -> 0000" line per reply.
int loggedSuccesses(const std::string& log) {
    int n = 0;
    for (std::size_t at = log.find(" -> 0000"); at != std::string::npos;
         at = log.find(" -> 0000", at + 1)) {
        ++n;
    }
    return n;
}

// One instance of a service: its process, then the successes it logged.
struct Instance {
    std::optional<OtpdProcess> process;
    int successes = 0;
};

class ThreadStress : public ::testing::Test {
  protected:
    void TearDown() override { replaceServerHosts("127.0.0.1", "127.0.0.2"); }

    bool start(int server, const char* address) {
        return instances[server].emplace_back().process.emplace().start({}, address, port);
    }
    void stop(int server) {
        Instance& instance = instances[server].back();
        if (!instance.process) {
            return;
        }
        instance.process->stop();
        instance.successes = loggedSuccesses(instance.process->log());
        instance.process.reset();
    }

    int port = 0;
    std::deque<Instance> instances[2];
};

TEST_F(ThreadStress, RequestsAndHashingWhileServersGoDownAndComeBack) {
    // The backup takes a free port, and the primary the same one.
    ASSERT_TRUE(start(kBackupServer, "127.0.0.2"));
    port = instances[kBackupServer].back().process->port();
    if (!start(kPrimaryServer, "127.0.0.1")) {
        GTEST_SKIP() << "port " << port << " is taken on 127.0.0.1";
    }
    ASSERT_TRUE(replaceServerHosts("127.0.0.1", "127.0.0.2"));

    // Outcomes per phase, counted by the request threads.
    std::atomic<int> successes[kPhaseCount] = {};
    std::atomic<int> refusals[kPhaseCount] = {};
    std::atomic<int> others{0};
    std::atomic<bool> transitionsOk{true};
    std::atomic<bool> tableOk{true};
    std::vector<ServerTableState> tableAfter;

    // Runs once all request threads have finished a phase, before any starts
    // the next: records the table, then brings the services into the next
    // phase's state. No request is under way meanwhile.
    int phase = 0;
    auto nextPhase = [&]() noexcept {
        tableAfter.push_back(serverTableState());
        if (++phase == kPhaseCount) {
            return;
        }
        const Phase& now = kPhases[phase];
        const Phase& before = kPhases[phase - 1];
        bool ok = true;
        if (before.primaryUp && !now.primaryUp) {
            stop(kPrimaryServer);
        } else if (!before.primaryUp && now.primaryUp) {
            ok = start(kPrimaryServer, "127.0.0.1");
        }
        if (before.backupUp && !now.backupUp) {
            stop(kBackupServer);
        } else if (!before.backupUp && now.backupUp) {
            ok = start(kBackupServer, "127.0.0.2");
        }
        transitionsOk = transitionsOk && ok;
    };
    std::barrier sync(kThreads, nextPhase);

    std::atomic<bool> requestsDone{false};
    ServiceClient shared;
    const std::string expectedHash = shared.identityText("8505031234565");
    ASSERT_EQ(expectedHash.size(), 40u);
    std::atomic<int> hashes{0};
    std::atomic<int> wrongHashes{0};
    std::vector<std::thread> hashers;
    for (int h = 0; h < 2; ++h) {
        hashers.emplace_back([&] {
            while (!requestsDone) {
                if (shared.identityText("8505031234565") != expectedHash) {
                    ++wrongHashes;
                }
                const std::string host = shared.host();
                if (host != "127.0.0.1" && host != "127.0.0.2") {
                    tableOk = false;
                }
                ++hashes;
                // Lets the request threads in where threads take turns on one
                // core (valgrind).
                std::this_thread::yield();
            }
        });
    }

    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            ServiceClient client;
            if (client.init(port, w(utf16(kSite)), w(utf16(kKey))) != S_OK) {
                ++others;
            }
            client.setConnectTimeout(2);
            for (int p = 0; p < kPhaseCount; ++p) {
                for (int i = 0; i < kRequestsPerPhase; ++i) {
                    // A new subscriber each time: a join succeeds on either server.
                    const std::u16string who = utf16("worker " + std::to_string(t) + " phase " +
                                                     std::to_string(p) + " " + std::to_string(i));
                    const HRESULT status = i % 2 == 0 ? client.reqAddsvcCheck(w(u"010"), w(u"v"))
                                                      : client.reqJoin(w(who), 2);
                    const std::string code = client.code();
                    if (status == S_OK && code == "0000") {
                        ++successes[p];
                    } else if (status == E_FAIL && code == "N001") {
                        ++refusals[p];
                    } else {
                        ++others;
                    }
                    const ServerTableState state = serverTableState();
                    if (state.currentIndex < 0 || state.currentIndex > 1 ||
                        std::min(state.failureCounts[0], state.failureCounts[1]) < 0) {
                        tableOk = false;
                    }
                }
                sync.arrive_and_wait();
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    requestsDone = true;
    for (std::thread& hasher : hashers) {
        hasher.join();
    }
    stop(kPrimaryServer);
    stop(kBackupServer);

    EXPECT_TRUE(transitionsOk);
    EXPECT_TRUE(tableOk);
    EXPECT_EQ(others.load(), 0) << "requests that ended with neither 0000 nor N001";
    EXPECT_EQ(wrongHashes.load(), 0);
    EXPECT_GT(hashes.load(), 0);
    constexpr int kPerPhase = kThreads * kRequestsPerPhase;
    ASSERT_EQ(tableAfter.size(), std::size(kPhases));
    for (int p = 0; p < kPhaseCount; ++p) {
        SCOPED_TRACE(kPhases[p].name);
        EXPECT_EQ(successes[p].load() + refusals[p].load(), kPerPhase);
        if (kPhases[p].primaryUp && kPhases[p].backupUp) {
            EXPECT_EQ(refusals[p].load(), 0);
        } else {
            // Five refusals move the requests over; a thread that chose the
            // failing server before the fifth adds at most one more.
            EXPECT_GE(refusals[p].load(), kFailoverThreshold);
            EXPECT_LE(refusals[p].load(), kFailoverThreshold + kThreads - 1);
        }
        EXPECT_EQ(tableAfter[p].currentIndex, kPhases[p].currentAfter);
    }

    // Each instance logged exactly the successes of the phases it served as
    // the current server: the first primary phase 0, the first backup phases
    // 1 and 2, the second primary phases 3 and 4, the second backup none.
    ASSERT_EQ(instances[kPrimaryServer].size(), 2u);
    ASSERT_EQ(instances[kBackupServer].size(), 2u);
    EXPECT_EQ(instances[kPrimaryServer][0].successes, successes[0].load());
    EXPECT_EQ(instances[kBackupServer][0].successes, successes[1].load() + successes[2].load());
    EXPECT_EQ(instances[kPrimaryServer][1].successes, successes[3].load() + successes[4].load());
    EXPECT_EQ(instances[kBackupServer][1].successes, 0);
}

}  // namespace
}  // namespace otpcli::test
