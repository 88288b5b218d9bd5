#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <pthread.h>
#include <signal.h>
#endif

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "net/transfer.h"
#include "net_fixture.h"

namespace otpcli::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(SleepMillis, NonPositiveReturnsAtOnce) {
    for (const int ms : {0, -5, INT_MIN}) {
        SCOPED_TRACE(ms);
        const auto start = Clock::now();
        sleepMillis(ms);
        EXPECT_LT(millisSince(start), 20);
    }
}

TEST(SleepMillis, WaitsAtLeastTheTimeAsked) {
    for (const int ms : {1, 50, 120}) {
        SCOPED_TRACE(ms);
        const auto start = Clock::now();
        sleepMillis(ms);
        const long long elapsed = millisSince(start);
        EXPECT_GE(elapsed, ms);
        EXPECT_LT(elapsed, ms + 500);
    }
}

// Windows has no signals that end a wait early.
#if !defined(_WIN32)
std::atomic<int> signalsSeen{0};

extern "C" void countSignal(int) {
    signalsSeen.fetch_add(1, std::memory_order_relaxed);
}

TEST(SleepMillis, WaitsEndedEarlyBySignalsAreResumed) {
    // No SA_RESTART: every signal ends the wait early. The handler stays
    // installed, so that a signal still pending after the test is harmless.
    struct sigaction action {};
    action.sa_handler = countSignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &action, nullptr), 0);

    const pthread_t sleeper = pthread_self();
    std::atomic<bool> done{false};
    signalsSeen = 0;
    std::thread interrupter([&] {
        while (!done.load()) {
            pthread_kill(sleeper, SIGUSR1);
            std::this_thread::sleep_for(3ms);
        }
    });
    const auto start = Clock::now();
    sleepMillis(50);
    const long long elapsed = millisSince(start);
    done = true;
    interrupter.join();

    EXPECT_GE(elapsed, 50);
    EXPECT_LT(elapsed, 1000);
    EXPECT_GT(signalsSeen.load(), 1);
}
#endif

}  // namespace
}  // namespace otpcli::test
