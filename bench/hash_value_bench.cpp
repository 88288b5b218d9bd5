// hashValue on a 13-digit number beside a baseline that does the same work with
// OpenSSL's SHA-1: the text converted from UTF-16 to bytes, digested, written as
// lower-case hex and returned as a new string from SysAllocStringLen.
//
// Two conversions for the baseline: the library's own (platform::wideToAnsi
// into a buffer of 2n + 2 bytes, as hashValue converts), so that the digest and
// the glue are what differ; and a bare narrowing loop that is only right for
// ASCII text, the least any conversion can cost.
// The low-level SHA-1 calls are deprecated in OpenSSL 3 but remain its fastest.
#define OPENSSL_SUPPRESS_DEPRECATED

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstring>
#include <memory>
#include <string>

#include <otpcli/otpcli.h>

#include "bench_util.h"
#include "platform/codepage.h"

namespace {

using otpcli::bench::AllocCount;
using otpcli::bench::w;

const std::u16string kNumber = u"8505031234565";  // 13 digits

// ---------------------------------------------------------------------------
// The baseline's digests, each OpenSSL's own code with its SHA extensions.
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

// ---------------------------------------------------------------------------
// The baseline's conversions: text to NUL-terminated bytes in out (2n + 2
// bytes), returning the byte count.
using ConvertFn = std::size_t (*)(const unsigned short*, std::size_t, char*);

std::size_t convertLibrary(const unsigned short* text, std::size_t n, char* out) {
    otpcli::platform::wideToAnsi(text, static_cast<int>(n), out, 2 * n + 2);
    return std::strlen(out);
}

std::size_t convertNarrow(const unsigned short* text, std::size_t n, char* out) {
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    out[n] = '\0';
    return n;
}

template <ConvertFn Convert, DigestFn Digest>
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
    ansi[0] = '\0';
    const std::size_t length = Convert(text, n, ansi);
    unsigned char digest[SHA_DIGEST_LENGTH];
    Digest(reinterpret_cast<const unsigned char*>(ansi), length, digest);
    static constexpr char kHex[] = "0123456789abcdef";
    char hex[2 * SHA_DIGEST_LENGTH];
    for (int i = 0; i < SHA_DIGEST_LENGTH; ++i) {
        hex[2 * i] = kHex[digest[i] >> 4];
        hex[2 * i + 1] = kHex[digest[i] & 0x0F];
    }
    BSTR out = SysAllocStringLen(nullptr, sizeof hex);
    if (out != nullptr) {
        for (std::size_t i = 0; i < sizeof hex; ++i) {
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
template <ConvertFn Convert, DigestFn Digest>
bool sameHash(benchmark::State& state) {
    OTPCLI client;
    BSTR a = libraryHash(client, w(kNumber));
    BSTR b = baselineHash<Convert, Digest>(w(kNumber));
    const bool same = a != nullptr && narrow(a) == narrow(b) && narrow(a).size() == 40;
    SysFreeString(a);
    SysFreeString(b);
    if (!same) {
        state.SkipWithError("library and baseline hashes differ");
    }
    return same;
}

void BM_HashValue_Library(benchmark::State& state) {
    if (!sameHash<convertLibrary, digestLowLevel>(state)) {
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
    otpcli::bench::setAllocCounters(state, before, static_cast<long>(state.iterations()));
}
BENCHMARK(BM_HashValue_Library);

template <ConvertFn Convert, DigestFn Digest>
void BM_HashValue_Baseline(benchmark::State& state) {
    if (!sameHash<Convert, Digest>(state)) {
        return;
    }
    const AllocCount before = otpcli::bench::threadAllocations();
    for (auto _ : state) {
        BSTR out = baselineHash<Convert, Digest>(w(kNumber));
        benchmark::DoNotOptimize(out);
        SysFreeString(out);
    }
    state.SetItemsProcessed(state.iterations());
    otpcli::bench::setAllocCounters(state, before, static_cast<long>(state.iterations()));
}
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, convertLibrary, digestLowLevel)
    ->Name("BM_HashValue_OpenSSL_SHA1_Init");
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, convertLibrary, digestOneCall)
    ->Name("BM_HashValue_OpenSSL_SHA1");
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, convertLibrary, digestEvp)
    ->Name("BM_HashValue_OpenSSL_EVP_Digest");
BENCHMARK_TEMPLATE(BM_HashValue_Baseline, convertNarrow, digestLowLevel)
    ->Name("BM_HashValue_OpenSSL_SHA1_Init_AsciiOnly");

// Library and baseline in alternating batches, one of each per iteration, so
// that both see the same machine at the same moments. throughput_ratio is the
// baseline's median batch time over the library's: 1.0 or more when the
// library is at least as fast.
template <ConvertFn Convert, DigestFn Digest>
void BM_HashValue_Paired(benchmark::State& state) {
    if (!sameHash<Convert, Digest>(state)) {
        return;
    }
    constexpr int kBatch = 64;
    OTPCLI client;
    otpcli::bench::PairedTimes times;
    bool libraryFirst = true;
    for (auto _ : state) {
        for (int side = 0; side < 2; ++side) {
            const bool runLibrary = (side == 0) == libraryFirst;
            times.time(runLibrary, [&] {
                for (int i = 0; i < kBatch; ++i) {
                    BSTR out = runLibrary ? libraryHash(client, w(kNumber))
                                          : baselineHash<Convert, Digest>(w(kNumber));
                    benchmark::DoNotOptimize(out);
                    SysFreeString(out);
                }
            });
        }
        libraryFirst = !libraryFirst;
    }
    times.report(state, kBatch, "ns", 1, true);
}
BENCHMARK_TEMPLATE(BM_HashValue_Paired, convertLibrary, digestLowLevel)
    ->Name("BM_HashValue_Paired_SHA1_Init");
BENCHMARK_TEMPLATE(BM_HashValue_Paired, convertLibrary, digestEvp)
    ->Name("BM_HashValue_Paired_EVP_Digest");
BENCHMARK_TEMPLATE(BM_HashValue_Paired, convertNarrow, digestLowLevel)
    ->Name("BM_HashValue_Paired_SHA1_Init_AsciiOnly");

}  // namespace
