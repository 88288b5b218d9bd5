// Helpers shared by the benchmark programs.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "alloc_counter.h"

namespace otpcli::bench {

inline const unsigned short* w(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

// Heap allocations, releases and bytes per operation since `before`, as
// counters of the benchmark; nothing when the counting functions are absent.
inline void setAllocCounters(benchmark::State& state, const AllocCount& before, long operations) {
    const AllocCount after = threadAllocations();
    if (!allocationCounting() || operations == 0) {
        return;
    }
    const double ops = static_cast<double>(operations);
    state.counters["allocs/op"] = static_cast<double>(after.allocations - before.allocations) / ops;
    state.counters["frees/op"] = static_cast<double>(after.releases - before.releases) / ops;
    state.counters["bytes/op"] = static_cast<double>(after.bytes - before.bytes) / ops;
}

// Times of a library side and a baseline side measured in alternation, one
// sample of each per benchmark iteration. Medians keep a sample that the
// scheduler stretched (the machine is shared) from weighing on the result.
class PairedTimes {
  public:
    using Clock = std::chrono::steady_clock;

    // Runs one side, timed, and keeps its time.
    template <typename Work>
    void time(bool library, Work&& work) {
        const auto start = Clock::now();
        work();
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        (library ? library_ : baseline_).push_back(ns);
    }

    // Counters: each side's median per operation (ops operations per sample),
    // in the given unit (1 for ns, 1000 for us), and the ratio of the medians,
    // baseline over library when speed is true, else library over baseline.
    // With several threads, kAvgThreads averages each counter over them.
    void report(benchmark::State& state, double ops, const char* unit, double divisor, bool speed,
                benchmark::Counter::Flags flags = benchmark::Counter::kDefaults) {
        if (library_.empty() || baseline_.empty()) {
            return;
        }
        const double library = median(library_) / ops / divisor;
        const double baseline = median(baseline_) / ops / divisor;
        state.counters[std::string("library_") + unit] = benchmark::Counter(library, flags);
        state.counters[std::string("baseline_") + unit] = benchmark::Counter(baseline, flags);
        if (speed) {
            state.counters["throughput_ratio"] = benchmark::Counter(baseline / library, flags);
        } else {
            state.counters["time_ratio"] = benchmark::Counter(library / baseline, flags);
        }
    }

  private:
    static double median(std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    }

    std::vector<double> library_;
    std::vector<double> baseline_;
};

}  // namespace otpcli::bench
