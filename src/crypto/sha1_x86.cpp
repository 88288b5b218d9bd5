// SHA-1 compression with the x86 SHA extensions (SHA1RNDS4, SHA1NEXTE,
// SHA1MSG1, SHA1MSG2): four rounds per instruction, the message schedule in
// vector registers. Compiled for those instructions alone; run only after the
// processor has been asked whether it has them.
#include "crypto/sha1_compress.h"

#include <utility>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define OTPCLI_SHA1_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace otpcli::sha1 {

#if defined(OTPCLI_SHA1_X86)

namespace {

#define OTPCLI_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// The words of a group of four rounds: msg holds the schedule words of groups
// g to g + 3 in a ring of four registers. Group g (0 to 19) adds its words to
// the E value that the previous group left (the rotated A of the state before
// it), runs four rounds with the function and constant of rounds 4g to 4g + 3,
// and advances the schedule of later groups: word group k >= 4 is
// MSG2(MSG1(W[k-4], W[k-3]) ^ W[k-2], W[k-1]), built over groups k-3 to k-1.
template <int G>
OTPCLI_SHA_TARGET inline void group(__m128i& abcd, __m128i& e, __m128i (&msg)[4]) noexcept {
    __m128i words;
    if constexpr (G == 0) {
        words = _mm_add_epi32(e, msg[0]);
    } else {
        words = _mm_sha1nexte_epu32(e, msg[G % 4]);
    }
    e = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, words, G / 5);
    if constexpr (G >= 1 && G <= 16) {
        msg[(G + 3) % 4] = _mm_sha1msg1_epu32(msg[(G + 3) % 4], msg[G % 4]);
    }
    if constexpr (G >= 2 && G <= 17) {
        msg[(G + 2) % 4] = _mm_xor_si128(msg[(G + 2) % 4], msg[G % 4]);
    }
    if constexpr (G >= 3 && G <= 18) {
        msg[(G + 1) % 4] = _mm_sha1msg2_epu32(msg[(G + 1) % 4], msg[G % 4]);
    }
}

template <int... G>
OTPCLI_SHA_TARGET inline void allGroups(__m128i& abcd, __m128i& e, __m128i (&msg)[4],
                                        std::integer_sequence<int, G...>) noexcept {
    (group<G>(abcd, e, msg), ...);
}

}  // namespace

bool haveShaExtensions() noexcept {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
        return false;
    }
    const bool ssse3 = (c & bit_SSSE3) != 0;
    const bool sse41 = (c & bit_SSE4_1) != 0;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) {
        return false;
    }
    const bool sha = (b & bit_SHA) != 0;
    return ssse3 && sse41 && sha;
}

OTPCLI_SHA_TARGET void compressShaExtensions(std::uint32_t (&state)[5], const unsigned char* data,
                                             std::size_t blocks) noexcept {
    // Bytes of each 32-bit word reversed (big-endian words) and the four words
    // in reverse order, as the instructions take them (A in the high lane).
    const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdSaved = abcd;
        const __m128i eSaved = e0;
        __m128i msg[4];
        for (int i = 0; i < 4; ++i) {
            msg[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteOrder);
        }
        __m128i e = e0;
        allGroups(abcd, e, msg, std::make_integer_sequence<int, 20>{});
        // e holds the state before the last group: its rotated A is the new E.
        e0 = _mm_sha1nexte_epu32(e, eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

#else

bool haveShaExtensions() noexcept {
    return false;
}

void compressShaExtensions(std::uint32_t (&state)[5], const unsigned char* data,
                           std::size_t blocks) noexcept {
    compressPortable(state, data, blocks);
}

#endif

void compress(std::uint32_t (&state)[5], const unsigned char* data, std::size_t blocks) noexcept {
    static const bool extensions = haveShaExtensions();
    if (extensions) {
        compressShaExtensions(state, data, blocks);
    } else {
        compressPortable(state, data, blocks);
    }
}

}  // namespace otpcli::sha1
