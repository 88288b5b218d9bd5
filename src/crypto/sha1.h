// SHA-1 (FIPS 180) and lower-case hex text.
#pragma once

#include <cstdint>
#include <span>

namespace otpcli {

class Sha1 {
  public:
    static constexpr int kDigestBytes = 20;

    Sha1() { reset(); }
    virtual ~Sha1() = default;

    // Starts a new digest.
    void reset() noexcept;
    // Adds length bytes; nothing for a length of 0 or less.
    void update(const unsigned char* bytes, int length) noexcept;
    // Adds every byte of bytes, however many: in pieces that an int counts.
    void update(std::span<const unsigned char> bytes) noexcept;
    // Completes the digest into out (20 bytes). reset() before the next use.
    void finish(unsigned char* out) noexcept;
    // reset(), update(), finish(). bytes and out may be the same buffer.
    void digest(const unsigned char* bytes, int length, unsigned char* out) noexcept;

  private:
    std::uint32_t state_[5];
    std::uint32_t bitCountLow_;
    std::uint32_t bitCountHigh_;
    unsigned char block_[64];
    std::int32_t blockCount_;
};

// Writes 2 * count lower-case hex characters of bytes to out, high nibble
// first; no terminator, nothing for a count of 0 or less.
void toHex(const unsigned char* bytes, int count, char* out) noexcept;
// The same text as 2 * count UTF-16 units, written byte-wise into out (any
// 16-bit unit type: unsigned short here, wchar_t on Windows).
void toHexUnits(const unsigned char* bytes, int count, void* out) noexcept;

}  // namespace otpcli
