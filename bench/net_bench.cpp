// Benchmarks of the shared library's public operations, each beside a baseline
// measured in the same run: hashValue against the same work done with OpenSSL's
// SHA-1, and a whole request round trip against a client that does only the
// socket work with the same local responder.
// The low-level SHA-1 calls are deprecated in OpenSSL 3 but remain its fastest.
#define OPENSSL_SUPPRESS_DEPRECATED

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <otpcli/otpcli.h>

#include "alloc_counter.h"
#include "responder.h"

namespace {

using otpcli::bench::AllocCount;
using otpcli::bench::Responder;
using Clock = std::chrono::steady_clock;

const std::u16string kNumber = u"8505031234565";  // a valid resident number, 13 digits
const std::u16string kSite = u"BENCH-SITE";
const std::u16string kKey = u"bench key material";
constexpr int kOtp = 1234567;

const unsigned short* w(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

// ---------------------------------------------------------------------------
// hashValue and its baseline

// The digest step of the baseline; each is OpenSSL's own code with its SHA
// extensions.
using DigestFn = void (*)(const unsigned char*, std::size_t, unsigned char*);

// Low-level one-shot: SHA1_Init, SHA1_Update, SHA1_Final without the EVP layer.
void digestLowLevel(const unsigned char* bytes, std::size_t n, unsigned char* out) {
    SHA_CTX ctx;
    SHA1_Init(&ctx);
    SHA1_Update(&ctx, bytes, n);
    SHA1_Final(out, &ctx);
}

// SHA1(): the documented one-call form.
void digestOneCall(const unsigned char* bytes, std::size_t n, unsigned char* out) {
    SHA1(bytes, n, out);
}

// EVP_Digest with the algorithm fetched once, outside the measured loop.
EVP_MD* fetchedSha1() {
    static EVP_MD* md = EVP_MD_fetch(nullptr, "SHA1", nullptr);
    return md;
}
void digestEvp(const unsigned char* bytes, std::size_t n, unsigned char* out) {
    unsigned int len = 0;
    EVP_Digest(bytes, n, out, &len, fetchedSha1(), nullptr);
}

// What hashValue does, with OpenSSL's digest: the text narrowed into a buffer
// of 2n + 2 bytes (every character of the benchmark text is ASCII, which code
// page 949 keeps as is), digested, written as lower-case hex and returned as a
// new string of 40 units.
template <DigestFn Digest>
BSTR baselineHash(const unsigned short* text) {
    std::size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    char small[258];
    std::unique_ptr<char[]> large;
    char* ansi = small;
    if (2 * n + 2 > sizeof small) {
        large.reset(new char[2 * n + 2]);
        ansi = large.get();
    }
    for (std::size_t i = 0; i < n; ++i) {
        ansi[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    ansi[n] = '\0';
    unsigned char digest[SHA_DIGEST_LENGTH];
    Digest(reinterpret_cast<const unsigned char*>(ansi), n, digest);
    static constexpr char kHex[] = "0123456789abcdef";
    char hex[41] = {};
    for (int i = 0; i < SHA_DIGEST_LENGTH; ++i) {
        hex[2 * i] = kHex[digest[i] >> 4];
        hex[2 * i + 1] = kHex[digest[i] & 0x0F];
    }
    BSTR out = SysAllocStringLen(nullptr, 40);
    if (out != nullptr) {
        for (int i = 0; i < 40; ++i) {
            out[i] = static_cast<unsigned char>(hex[i]);
        }
    }
    return out;
}

BSTR libraryHash(OTPCLI& client, const unsigned short* text) {
    BSTR out = nullptr;
    client.hashValue(text, &out);
    return out;
}

std::string narrow(BSTR s) {
    std::string out;
    for (unsigned int i = 0; s != nullptr && i < SysStringLen(s); ++i) {
        out += static_cast<char>(s[i]);
    }
    return out;
}

// Stops the run with an error when the two sides disagree: a baseline that
// computes something else measures nothing.
template <DigestFn Digest>
bool sameHash(benchmark::State& state) {
    OTPCLI client;
    BSTR a = libraryHash(client, w(kNumber));
    BSTR b = baselineHash<Digest>(w(kNumber));
    const bool same = a != nullptr && narrow(a) == narrow(b);
    SysFreeString(a);
    SysFreeString(b);
    if (!same) {
        state.SkipWithError("library and baseline hashes differ");
    }
    return same;
}

void setAllocCounters(benchmark::State& state, const AllocCount& before, long operations) {
    const AllocCount after = otpcli::bench::threadAllocations();
    if (!otpcli::bench::allocationCounting() || operations == 0) {
        return;
    }
    const double ops = static_cast<double>(operations);
    state.counters["allocs/op"] = static_cast<double>(after.allocations - before.allocations) / ops;
    state.counters["frees/op"] = static_cast<double>(after.releases - before.releases) / ops;
    state.counters["bytes/op"] = static_cast<double>(after.bytes - before.bytes) / ops;
}

void BM_HashValue_Library(benchmark::State& state) {
    if (!sameHash<digestLowLevel>(state)) {
        return;
    }
    OTPCLI client;
    const AllocCount before = otpcli::bench::threadAllocations();
    for (auto _ : state) {
        BSTR out = libraryHash(client, w(kNumber));
        benchmark::DoNotOptimize(out);
        SysFreeString(out);
    }
    state.SetItemsProcessed(state.iterations());
    setAllocCounters(state, before, static_cast<long>(state.iterations()));
}
BENCHMARK(BM_HashValue_Library);

template <DigestFn Digest>
void BM_HashValue_Baseline(benchmark::State& state) {
    if (!sameHash<Digest>(state)) {
        return;
    }
    const AllocCount before = otpcli::bench::threadAllocations();
    for (auto _ : state) {
        BSTR out = baselineHash<Digest>(w(kNumber));
        benchmark::DoNotOptimize(out);
        SysFreeString(out);
    }
    state.SetItemsProcessed(state.iterations());
    setAllocCounters(state, before, static_cast<long>(state.iterations()));
}
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, digestLowLevel)->Name("BM_HashValue_OpenSSL_SHA1_Init");
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, digestOneCall)->Name("BM_HashValue_OpenSSL_SHA1");
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, digestEvp)->Name("BM_HashValue_OpenSSL_EVP_Digest");

// Library and baseline in alternating batches within each iteration, so that
// both see the same machine at the same moments; the ratio of throughputs is
// baseline time over library time (1.0 or more: the library is as fast).
template <DigestFn Digest>
void BM_HashValue_Paired(benchmark::State& state) {
    if (!sameHash<Digest>(state)) {
        return;
    }
    constexpr int kBatch = 64;
    OTPCLI client;
    Clock::duration library{};
    Clock::duration baseline{};
    bool libraryFirst = true;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const bool runLibrary = (side == 0) == libraryFirst;
            const auto start = Clock::now();
            for (int i = 0; i < kBatch; ++i) {
                BSTR out =
                    runLibrary ? libraryHash(client, w(kNumber)) : baselineHash<Digest>(w(kNumber));
                benchmark::DoNotOptimize(out);
                SysFreeString(out);
            }
            (runLibrary ? library : baseline) += Clock::now() - start;
        }
        libraryFirst = !libraryFirst;
    }
    const double calls = static_cast<double>(state.iterations()) * kBatch;
    const double libraryNs = std::chrono::duration<double, std::nano>(library).count() / calls;
    const double baselineNs = std::chrono::duration<double, std::nano>(baseline).count() / calls;
    state.counters["library_ns"] = libraryNs;
    state.counters["baseline_ns"] = baselineNs;
    state.counters["throughput_ratio"] = baselineNs / libraryNs;
}
BENCHMARK_TEMPLATE(BM_HashValue_Paired, digestLowLevel)->Name("BM_HashValue_Paired_SHA1_Init");
BENCHMARK_TEMPLATE(BM_HashValue_Paired, digestEvp)->Name("BM_HashValue_Paired_EVP_Digest");

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
    setAllocCounters(state, before, static_cast<long>(state.iterations()));
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

// Alternating library and baseline requests; time_ratio is library time over
// baseline time (1.05 or less: within 5 %).
void BM_RoundTrip_Paired(benchmark::State& state) {
    if (!roundTripReady(state)) {
        return;
    }
    RoundTripSetup& rt = roundTrip();
    Clock::duration library{};
    Clock::duration baseline{};
    long failures = 0;
    bool libraryFirst = true;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const bool runLibrary = (side == 0) == libraryFirst;
            const auto start = Clock::now();
            const bool ok = runLibrary ? rt.libraryRequest() : rt.baselineRequest();
            (runLibrary ? library : baseline) += Clock::now() - start;
            failures += ok ? 0 : 1;
        }
        libraryFirst = !libraryFirst;
    }
    const double n = static_cast<double>(state.iterations());
    const double libraryUs = std::chrono::duration<double, std::micro>(library).count() / n;
    const double baselineUs = std::chrono::duration<double, std::micro>(baseline).count() / n;
    state.counters["library_us"] = libraryUs;
    state.counters["baseline_us"] = baselineUs;
    state.counters["time_ratio"] = libraryUs / baselineUs;
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_RoundTrip_Paired)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
