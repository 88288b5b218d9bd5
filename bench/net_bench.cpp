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
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <otpcli/otpcli.h>

#include "bench_util.h"
#include "otpd_process.h"
#include "responder.h"

namespace {

using otpcli::bench::AllocCount;
using otpcli::bench::Responder;

const std::u16string kNumber = u"8505031234565";  // a valid resident number, 13 digits
const std::u16string kSite = u"BENCH-SITE";
const std::u16string kKey = u"bench key material";
constexpr int kOtp = 1234567;

using otpcli::bench::w;

// The socket work alone, blocking calls and nothing else: connect, send the
// frame, read the five length digits and the body they announce, close. True
// when the reply's code is "0000".
bool socketRequest(std::uint16_t port, const std::string& frame) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok =
        ::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        ::send(s, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
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

    bool baselineRequest() const { return socketRequest(responder.port(), frame); }
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

// Alternating library and baseline requests, one of each per iteration, the
// order swapped every iteration, 1000 pairs. time_ratio is the library's median
// request time over the baseline's: 1.05 or less when the library adds at most
// 5 %. The baseline is a plain blocking client (socketRequest) and nothing else.
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
BENCHMARK(BM_RoundTrip_Paired)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// Heap allocations of each request operation, counted on the calling thread,
// against the same responder (which answers "0000" to everything).
enum class Operation { Issue, Reissue, Check, AddsvcCheck, Auth, Join, Close, InitAuthErr };

// Plain arrays: a string object here would allocate in the measured loop.
constexpr char16_t kCode[] = u"SMS";
constexpr char16_t kValue[] = u"01012345678";
constexpr char16_t kExtra[] = u"extra";

const unsigned short* w(const char16_t* s) {
    return reinterpret_cast<const unsigned short*>(s);
}

HRESULT runOperation(OTPCLI& client, Operation op) {
    switch (op) {
        case Operation::Issue:
            return client.reqIssue(w(kNumber), w(kCode), w(kValue));
        case Operation::Reissue:
            return client.reqReissue(w(kNumber), 0, w(kCode), w(kValue));
        case Operation::Check:
            return client.reqCheck(w(kNumber), 0, w(kCode), w(kValue));
        case Operation::AddsvcCheck:
            return client.reqAddsvcCheck(w(kCode), w(kValue));
        case Operation::Auth:
            return client.reqAuth(w(kNumber), 0, kOtp, OTPCLI::AUTH_LEVEL_2, w(kExtra));
        case Operation::Join:
            return client.reqJoin(w(kNumber), 0);
        case Operation::Close:
            return client.reqClose(w(kNumber), 0);
        case Operation::InitAuthErr:
            return client.reqInitAuthErr(w(kNumber), 0);
    }
    return E_FAIL;
}

void BM_RequestAllocations(benchmark::State& state) {
    if (!roundTripReady(state)) {
        return;
    }
    RoundTripSetup& rt = roundTrip();
    const auto op = static_cast<Operation>(state.range(0));
    long failures = 0;
    const AllocCount before = otpcli::bench::threadAllocations();
    for (auto _ : state) {
        failures += runOperation(rt.client, op) == S_OK ? 0 : 1;
    }
    otpcli::bench::setAllocCounters(state, before, static_cast<long>(state.iterations()));
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_RequestAllocations)
    ->ArgName("op")
    ->DenseRange(0, 7)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// otpd throughput with 1, 8 and 64 concurrent clients, with its state in
// memory and in a state file

#if defined(OTPCLI_OTPD_PATH)
constexpr char kOtpdPath[] = OTPCLI_OTPD_PATH;
#else
constexpr char kOtpdPath[] = "";
#endif

// A fresh directory for a state file, removed at the end of the run.
class StateDir {
  public:
    StateDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "otpd-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~StateDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    StateDir(const StateDir&) = delete;
    StateDir& operator=(const StateDir&) = delete;
    std::string file() const { return path_ + "/state"; }
    // The size of the state file, or of one of its companions ("-wal", "-shm").
    double bytes(const char* suffix = "") const {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(file() + suffix, ec);
        return ec ? 0.0 : static_cast<double>(size);
    }

  private:
    std::string path_;
};

enum class State { kMemory, kFile };

// otpd with the benchmark's site (its state in memory or in a state file), the
// subscriber joined, and the frame that reqInitAuthErr sends for it (a sealed
// request that otpd decrypts and answers with "0000"), taken from the library
// against a responder. The count it resets is already 0, so with a state file
// the request reads and ends its transaction but syncs nothing: SQLite writes
// no page whose content is unchanged. The churn below measures real changes.
struct OtpdSetup {
    std::unique_ptr<StateDir> stateDir;
    std::unique_ptr<otpcli::bench::OtpdProcess> otpd;
    std::string frame;
    std::string error;

    explicit OtpdSetup(State state) {
        const char* path = std::getenv("OTPCLI_OTPD");
        const std::string program = path != nullptr ? path : kOtpdPath;
        if (program.empty() || ::access(program.c_str(), X_OK) != 0) {
            error = "otpd not built (OTPCLI_BUILD_TOOLS) and OTPCLI_OTPD not set";
            return;
        }
        const std::u16string loopback = u"127.0.0.1";
        OTPCLI::setServerHosts(w(loopback), w(loopback));
        {
            Responder responder(Responder::reply("0000", ""));
            OTPCLI client;
            client.init(responder.port(), w(kSite), w(kKey));
            client.reqInitAuthErr(w(kNumber), 0);
            frame = responder.lastFrame();
        }
        std::vector<std::string> args{"--site", "BENCH-SITE:bench key material"};
        if (state == State::kFile) {
            stateDir = std::make_unique<StateDir>();
            args.insert(args.end(), {"--state", stateDir->file()});
        }
        otpd = std::make_unique<otpcli::bench::OtpdProcess>(program, args);
        if (otpd->port() == 0) {
            error = "otpd did not start";
            return;
        }
        OTPCLI client;
        client.init(otpd->port(), w(kSite), w(kKey));
        client.reqJoin(w(kNumber), 0);  // "0000", or already a member
        if (client.reqInitAuthErr(w(kNumber), 0) != S_OK || frame.size() != 180) {
            error = "otpd does not answer the benchmark's request";
        }
    }
};

OtpdSetup& otpdSetup(State state) {
    static OtpdSetup inMemory(State::kMemory);
    if (state == State::kMemory) {
        return inMemory;
    }
    static OtpdSetup inFile(State::kFile);
    return inFile;
}

bool otpdReady(benchmark::State& state, State where) {
    if (!otpdSetup(where).error.empty()) {
        state.SkipWithError(otpdSetup(where).error.c_str());
        return false;
    }
    return true;
}

void BM_Otpd_Library(benchmark::State& state, State where) {
    if (!otpdReady(state, where)) {
        return;
    }
    OTPCLI client;
    client.init(otpdSetup(where).otpd->port(), w(kSite), w(kKey));
    long failures = 0;
    for (auto _ : state) {
        failures += client.reqInitAuthErr(w(kNumber), 0) == S_OK ? 0 : 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
}

void BM_Otpd_Socket(benchmark::State& state, State where) {
    if (!otpdReady(state, where)) {
        return;
    }
    const OtpdSetup& setup = otpdSetup(where);
    long failures = 0;
    for (auto _ : state) {
        failures += socketRequest(setup.otpd->port(), setup.frame) ? 0 : 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
}

// Each client alternates a library request and a bare socket request; the
// medians of each client's request times, averaged over the clients, and
// time_ratio, library over socket.
void BM_Otpd_Paired(benchmark::State& state, State where) {
    if (!otpdReady(state, where)) {
        return;
    }
    const OtpdSetup& setup = otpdSetup(where);
    OTPCLI client;
    client.init(setup.otpd->port(), w(kSite), w(kKey));
    otpcli::bench::PairedTimes times;
    long failures = 0;
    bool libraryFirst = state.thread_index() % 2 == 0;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const bool runLibrary = (side == 0) == libraryFirst;
            times.time(runLibrary, [&] {
                const bool ok = runLibrary ? client.reqInitAuthErr(w(kNumber), 0) == S_OK
                                           : socketRequest(setup.otpd->port(), setup.frame);
                failures += ok ? 0 : 1;
            });
        }
        libraryFirst = !libraryFirst;
    }
    times.report(state, 1, "us", 1000, false, benchmark::Counter::kAvgThreads);
    state.SetItemsProcessed(2 * state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
}

// Churn: each iteration joins a subscriber, issues it an OTP, authenticates
// with a wrong one (a counted error) and closes it, each client over 1,000
// subscribers of its own in turn: four changes, with a state file four
// commits. file_bytes and log_bytes: the sizes of the state file and of its
// write-ahead log (with the log's index) at the end.
void BM_Otpd_Churn(benchmark::State& state, State where) {
    if (!otpdReady(state, where)) {
        return;
    }
    const OtpdSetup& setup = otpdSetup(where);
    OTPCLI client;
    client.init(setup.otpd->port(), w(kSite), w(kKey));
    std::vector<std::u16string> numbers;
    for (int i = 0; i < 1000; ++i) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "8505031%05d", state.thread_index() * 1000 + i);
        static constexpr int kWeights[12] = {2, 3, 4, 5, 6, 7, 8, 9, 2, 3, 4, 5};
        int sum = 0;
        for (int d = 0; d < 12; ++d) {
            sum += (digits[d] - '0') * kWeights[d];
        }
        digits[12] = static_cast<char>('0' + (11 - sum % 11) % 10);
        digits[13] = '\0';
        numbers.emplace_back(digits, digits + 13);
    }
    long failures = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        const unsigned short* number = w(numbers[next]);
        next = (next + 1) % numbers.size();
        failures += client.reqJoin(number, 0) == S_OK ? 0 : 1;
        failures += client.reqIssue(number, w(kCode), w(kValue)) == S_OK ? 0 : 1;
        failures += client.reqAuth(number, 0, 1, OTPCLI::AUTH_LEVEL_1, nullptr) == E_FAIL ? 0 : 1;
        failures += client.reqClose(number, 0) == S_OK ? 0 : 1;
    }
    state.SetItemsProcessed(4 * state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
    if (setup.stateDir && state.thread_index() == 0) {
        state.counters["file_bytes"] = setup.stateDir->bytes();
        state.counters["log_bytes"] = setup.stateDir->bytes("-wal") + setup.stateDir->bytes("-shm");
    }
}

// By client count first: the runs with fewer clients come before the load of 64
// clients has left its connections behind.
void registerOtpdBenchmarks() {
    using Function = void (*)(benchmark::State&, State);
    const std::pair<const char*, Function> families[] = {
        {"Library", BM_Otpd_Library},
        {"Socket", BM_Otpd_Socket},
        {"Paired", BM_Otpd_Paired},
    };
    for (const State where : {State::kMemory, State::kFile}) {
        for (const int clients : {1, 8, 64}) {
            for (const auto& [name, function] : families) {
                const std::string full =
                    std::string(where == State::kMemory ? "BM_Otpd_" : "BM_OtpdState_") + name;
                benchmark::RegisterBenchmark(full.c_str(), function, where)
                    ->Threads(clients)
                    ->UseRealTime()
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    for (const State where : {State::kMemory, State::kFile}) {
        for (const int clients : {1, 8}) {
            benchmark::RegisterBenchmark(
                where == State::kMemory ? "BM_Otpd_Churn" : "BM_OtpdState_Churn", BM_Otpd_Churn,
                where)
                ->Threads(clients)
                ->UseRealTime()
                ->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerOtpdBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
