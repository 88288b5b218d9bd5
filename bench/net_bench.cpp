// A whole request round trip through the shared library beside a baseline
// client that does only the socket work, both against the same local responder
// in the same run; and the heap allocations of a request.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <otpcli/otpcli.h>

#include "bench_util.h"
#include "responder.h"

namespace {

using otpcli::bench::AllocCount;
using otpcli::bench::Responder;

const std::u16string kNumber = u"8505031234565";  // a valid resident number, 13 digits
const std::u16string kSite = u"BENCH-SITE";
const std::u16string kKey = u"bench key material";
constexpr int kOtp = 1234567;

using otpcli::bench::w;

// ---------------------------------------------------------------------------
// Request round trip and its baseline

// One responder for the whole run, and a client configured against it.
struct RoundTripSetup {
    Responder responder{Responder::reply("0000", "")};
    OTPCLI client;
    std::string frame;  // the bytes reqAuth sends, for the baseline

    RoundTripSetup() {
        const std::u16string loopback = u"127.0.0.1";
        OTPCLI::setServerHosts(w(loopback), w(loopback));
        client.init(responder.port(), w(kSite), w(kKey));
        if (libraryRequest()) {
            frame = responder.lastFrame();
        }
    }

    bool libraryRequest() {
        return client.reqAuth(w(kNumber), 0, kOtp, OTPCLI::AUTH_LEVEL_1, nullptr) == S_OK;
    }

    // The socket work alone: connect, send the frame, read the five length
    // digits and the body they announce, close.
    bool baselineRequest() const {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0) {
            return false;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(responder.port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                  ::send(s, frame.data(), frame.size(), MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(frame.size());
        char reply[512];
        std::size_t got = 0;
        std::size_t want = 5;
        while (ok && got < want) {
            const ssize_t r = ::recv(s, reply + got, sizeof reply - got, 0);
            ok = r > 0;
            if (ok) {
                got += static_cast<std::size_t>(r);
                if (got >= 5 && want == 5) {
                    want = 5 + static_cast<std::size_t>(std::atoi(std::string(reply, 5).c_str()));
                    ok = want <= sizeof reply;
                }
            }
        }
        ::close(s);
        return ok && std::memcmp(reply + 45, "0000", 4) == 0;
    }
};

RoundTripSetup& roundTrip() {
    static RoundTripSetup setup;
    return setup;
}

bool roundTripReady(benchmark::State& state) {
    RoundTripSetup& rt = roundTrip();
    if (!rt.responder.listening() || rt.frame.size() != 201) {
        state.SkipWithError("responder or library request failed");
        return false;
    }
    return true;
}

void BM_RoundTrip_Library(benchmark::State& state) {
    if (!roundTripReady(state)) {
        return;
    }
    RoundTripSetup& rt = roundTrip();
    long failures = 0;
    const AllocCount before = otpcli::bench::threadAllocations();
    for (auto _ : state) {
        failures += rt.libraryRequest() ? 0 : 1;
    }
    otpcli::bench::setAllocCounters(state, before, static_cast<long>(state.iterations()));
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_RoundTrip_Library)->Unit(benchmark::kMicrosecond);

void BM_RoundTrip_Socket(benchmark::State& state) {
    if (!roundTripReady(state)) {
        return;
    }
    RoundTripSetup& rt = roundTrip();
    long failures = 0;
    for (auto _ : state) {
        failures += rt.baselineRequest() ? 0 : 1;
    }
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_RoundTrip_Socket)->Unit(benchmark::kMicrosecond);

// Alternating library and baseline requests, one of each per iteration.
// time_ratio is the library's median request time over the baseline's: 1.05 or
// less when the library adds at most 5 %.
void BM_RoundTrip_Paired(benchmark::State& state) {
    if (!roundTripReady(state)) {
        return;
    }
    RoundTripSetup& rt = roundTrip();
    otpcli::bench::PairedTimes times;
    long failures = 0;
    bool libraryFirst = true;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const bool runLibrary = (side == 0) == libraryFirst;
            times.time(runLibrary, [&] {
                const bool ok = runLibrary ? rt.libraryRequest() : rt.baselineRequest();
                failures += ok ? 0 : 1;
            });
        }
        libraryFirst = !libraryFirst;
    }
    times.report(state, 1, "us", 1000, false);
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_RoundTrip_Paired)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
