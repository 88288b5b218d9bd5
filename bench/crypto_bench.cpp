// The library's internal steps, in nanoseconds: the sealing that every sealing
// request does, the whole build of a request frame, the parts of hashValue, and
// SHA-1 beside OpenSSL's.
#define OPENSSL_SUPPRESS_DEPRECATED

#include <benchmark/benchmark.h>
#include <openssl/sha.h>

#include <array>
#include <cstring>
#include <string>

#include <otpcli/otpcli.h>

#include "client/ansi_text.h"
#include "crypto/seal.h"
#include "crypto/sha1.h"
#include "crypto/sha1_compress.h"
#include "platform/codepage.h"
#include "requests/identity.h"
#include "requests/put_digits.h"
#include "requests/sealed_request.h"

namespace {

const std::u16string kNumber = u"8505031234565";
const char kKeyMaterial[] = "bench key material";
char kSiteId[33] = "BENCH-SITE";

const unsigned short* w(const std::u16string& s) {
    return reinterpret_cast<const unsigned short*>(s.c_str());
}

// reqAuth's plain text: the 40-character identity text and seven OTP digits.
std::array<char, 47> authPlain() {
    std::array<char, 47> plain{};
    otpcli::AnsiText id;
    id.assign(w(kNumber));
    otpcli::makeIdentityText(id, 0, std::span(plain).first<40>());
    otpcli::putDigits(1234567, 7, plain.data(), 40);
    return plain;
}

// One sealing as a request does it: the key digest of the key material, then
// seal with five iterations (six SHA-1 digests, the SEED key schedule, the IV
// digest and three CBC blocks).
void BM_Seal47(benchmark::State& state) {
    const auto plain = authPlain();
    unsigned char sealed[48];
    for (auto _ : state) {
        unsigned char keyDigest[otpcli::Sha1::kDigestBytes];
        otpcli::Sha1 sha;
        sha.digest(reinterpret_cast<const unsigned char*>(kKeyMaterial),
                   static_cast<int>(std::strlen(kKeyMaterial)), keyDigest);
        const int n =
            otpcli::seal(keyDigest, otpcli::Sha1::kDigestBytes, 5,
                         reinterpret_cast<const unsigned char*>(plain.data()), 47, sealed);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(sealed);
    }
}
BENCHMARK(BM_Seal47);

// The whole frame of reqAuth from its converted arguments: identity text,
// sealing, frame allocation and layout, the operation's own fields.
void BM_AuthFrameBuild(benchmark::State& state) {
    const otpcli::RequestConfig config{kSiteId, kKeyMaterial, 9100, 3};
    otpcli::AnsiText id;
    id.assign(w(kNumber));
    for (auto _ : state) {
        std::array<char, 47> plain{};
        otpcli::makeIdentityText(id, 0, std::span(plain).first<40>());
        otpcli::putDigits(1234567, 7, plain.data(), 40);
        otpcli::Outcome out;
        otpcli::ByteBuffer frame =
            otpcli::buildSealedFrame(config, otpcli::kAuth, otpcli::bytesOf(plain), out);
        auto* text = reinterpret_cast<char*>(frame.get());
        otpcli::putDigits(1, 1, text, otpcli::kOwnFieldsOffset);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_AuthFrameBuild);

// The parts of hashValue on a 13-digit number.
void BM_Part_Convert(benchmark::State& state) {
    for (auto _ : state) {
        otpcli::AnsiText ansi;
        ansi.assign(w(kNumber));
        benchmark::DoNotOptimize(ansi.c_str());
    }
}
BENCHMARK(BM_Part_Convert);

void BM_Part_Sha1_Library(benchmark::State& state) {
    const unsigned char text[] = "8505031234565";
    unsigned char digest[20];
    for (auto _ : state) {
        otpcli::Sha1 sha;
        sha.digest(text, 13, digest);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_Part_Sha1_Library);

void BM_Part_Sha1_OpenSSL(benchmark::State& state) {
    const unsigned char text[] = "8505031234565";
    unsigned char digest[20];
    for (auto _ : state) {
        SHA_CTX ctx;
        SHA1_Init(&ctx);
        SHA1_Update(&ctx, text, 13);
        SHA1_Final(digest, &ctx);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_Part_Sha1_OpenSSL);

void BM_Part_HexToString(benchmark::State& state) {
    const unsigned char digest[20] = {0xda, 0x39, 0xa3, 0xee, 0x5e, 0x6b, 0x4b, 0x0d, 0x32, 0x55,
                                      0xbf, 0xef, 0x95, 0x60, 0x18, 0x90, 0xaf, 0xd8, 0x07, 0x09};
    for (auto _ : state) {
        char hex[41] = {};
        otpcli::toHex(digest, 20, hex);
        BSTR out = otpcli::platform::newStringFromAnsi(hex);
        benchmark::DoNotOptimize(out);
        SysFreeString(out);
    }
}
BENCHMARK(BM_Part_HexToString);

// SHA-1 over longer inputs, where the compression function dominates.
void BM_Sha1_Library_Bytes(benchmark::State& state) {
    const std::string text(static_cast<std::size_t>(state.range(0)), 'x');
    unsigned char digest[20];
    otpcli::Sha1 sha;
    for (auto _ : state) {
        sha.digest(reinterpret_cast<const unsigned char*>(text.data()),
                   static_cast<int>(text.size()), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Sha1_Library_Bytes)->Arg(64)->Arg(4096);

void BM_Sha1_OpenSSL_Bytes(benchmark::State& state) {
    const std::string text(static_cast<std::size_t>(state.range(0)), 'x');
    unsigned char digest[20];
    for (auto _ : state) {
        SHA_CTX ctx;
        SHA1_Init(&ctx);
        SHA1_Update(&ctx, text.data(), text.size());
        SHA1_Final(digest, &ctx);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Sha1_OpenSSL_Bytes)->Arg(64)->Arg(4096);

// One compression of one block: the library's against OpenSSL's SHA1_Transform.
void BM_Sha1_Compress_Library(benchmark::State& state) {
    unsigned char block[64] = {'a', 'b', 'c', 0x80};
    std::uint32_t words[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    for (auto _ : state) {
        otpcli::sha1::compress(words, block, 1);
        benchmark::DoNotOptimize(words);
    }
}
BENCHMARK(BM_Sha1_Compress_Library);

void BM_Sha1_Compress_OpenSSL(benchmark::State& state) {
    unsigned char block[64] = {'a', 'b', 'c', 0x80};
    SHA_CTX ctx;
    SHA1_Init(&ctx);
    for (auto _ : state) {
        SHA1_Transform(&ctx, block);
        benchmark::DoNotOptimize(ctx);
    }
}
BENCHMARK(BM_Sha1_Compress_OpenSSL);

}  // namespace

BENCHMARK_MAIN();
