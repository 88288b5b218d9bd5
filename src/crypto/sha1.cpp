#include "crypto/sha1.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

#include "crypto/big_endian.h"
#include "crypto/sha1_compress.h"
#include "crypto/wipe.h"

namespace otpcli {
namespace {

constexpr std::uint32_t kInitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                            0xC3D2E1F0};

// One of the 80 steps. The five working words stay in place and trade roles
// from step to step, so a fully unrolled compression moves no words around.
template <int T>
inline void step(std::uint32_t (&v)[5], std::uint32_t (&w)[16]) noexcept {
    std::uint32_t& a = v[(80 - T) % 5];
    std::uint32_t& b = v[(81 - T) % 5];
    std::uint32_t& c = v[(82 - T) % 5];
    std::uint32_t& d = v[(83 - T) % 5];
    std::uint32_t& e = v[(84 - T) % 5];

    // The message schedule kept as a ring of its last 16 words.
    if constexpr (T >= 16) {
        w[T % 16] = std::rotl(w[(T + 13) % 16] ^ w[(T + 8) % 16] ^ w[(T + 2) % 16] ^ w[T % 16], 1);
    }
    std::uint32_t f;
    std::uint32_t k;
    if constexpr (T < 20) {
        f = d ^ (b & (c ^ d));
        k = 0x5A827999;
    } else if constexpr (T < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
    } else if constexpr (T < 60) {
        f = (b & c) | (d & (b | c));
        k = 0x8F1BBCDC;
    } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
    }
    e += std::rotl(a, 5) + f + k + w[T % 16];
    b = std::rotl(b, 30);
}

template <int... T>
inline void allSteps(std::uint32_t (&v)[5], std::uint32_t (&w)[16],
                     std::integer_sequence<int, T...>) noexcept {
    (step<T>(v, w), ...);
}

}  // namespace

void sha1::compressPortable(std::uint32_t (&state)[5], const unsigned char* data,
                            std::size_t blocks) noexcept {
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t w[16];
        for (int i = 0; i < 16; ++i) {
            w[i] = loadBigEndian(data + 4 * i);
        }
        std::uint32_t v[5] = {state[0], state[1], state[2], state[3], state[4]};
        allSteps(v, w, std::make_integer_sequence<int, 80>{});
        for (int i = 0; i < 5; ++i) {
            state[i] += v[i];
        }
    }
}

void Sha1::reset() noexcept {
    std::memcpy(state_, kInitialState, sizeof state_);
    bitCountLow_ = 0;
    bitCountHigh_ = 0;
    std::memset(block_, 0, sizeof block_);
    blockCount_ = 0;
}

void Sha1::update(const unsigned char* bytes, int length) noexcept {
    if (length <= 0) {
        return;
    }
    const std::uint64_t bits = ((std::uint64_t{bitCountHigh_} << 32) | bitCountLow_) +
                               8 * static_cast<std::uint64_t>(length);
    bitCountLow_ = static_cast<std::uint32_t>(bits);
    bitCountHigh_ = static_cast<std::uint32_t>(bits >> 32);

    auto remaining = static_cast<std::size_t>(length);
    if (blockCount_ > 0) {
        const std::size_t take = std::min<std::size_t>(remaining, 64 - blockCount_);
        std::memcpy(block_ + blockCount_, bytes, take);
        blockCount_ += static_cast<std::int32_t>(take);
        bytes += take;
        remaining -= take;
        if (blockCount_ < 64) {
            return;
        }
        sha1::compress(state_, block_, 1);
        std::memset(block_, 0, sizeof block_);
        blockCount_ = 0;
    }
    // Whole blocks straight from the input, then keep the tail.
    if (remaining >= 64) {
        sha1::compress(state_, bytes, remaining / 64);
        bytes += remaining & ~std::size_t{63};
        remaining &= 63;
    }
    std::memcpy(block_, bytes, remaining);
    blockCount_ = static_cast<std::int32_t>(remaining);
}

void Sha1::update(std::span<const unsigned char> bytes) noexcept {
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), INT_MAX);
        update(bytes.data(), static_cast<int>(piece));
        bytes = bytes.subspan(piece);
    }
}

void Sha1::finish(unsigned char* out) noexcept {
    unsigned char length[8];
    storeBigEndian(bitCountHigh_, length);
    storeBigEndian(bitCountLow_, length + 4);

    // Every byte of the block buffer after the count is zero (reset, and the
    // clearing after each compression of the buffer, keep it so): the padding
    // needs only the 0x80 byte and the length.
    block_[blockCount_++] = 0x80;
    if (blockCount_ > 56) {
        sha1::compress(state_, block_, 1);
        std::memset(block_, 0, sizeof block_);
        blockCount_ = 0;
    }
    std::memcpy(block_ + 56, length, sizeof length);
    sha1::compress(state_, block_, 1);
    blockCount_ = 0;

    for (int i = 0; i < 5; ++i) {
        storeBigEndian(state_[i], out + 4 * i);
    }
    // The chaining words are the digest and the buffer held the message tail:
    // leave no copy of either behind, as both may be key material.
    wipeInline(state_, sizeof state_);
    wipeInline(block_, sizeof block_);
}

void Sha1::digest(const unsigned char* bytes, int length, unsigned char* out) noexcept {
    reset();
    update(bytes, length);
    finish(out);
}

}  // namespace otpcli
