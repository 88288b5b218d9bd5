// SEED block cipher, encryption only, with the service's key schedule.
#pragma once

#include <array>
#include <cstdint>

namespace otpcli {

// Round i (0 to 15) uses words 2i and 2i + 1.
struct SeedRoundKeys {
    std::uint32_t words[32];
};

// Lookup tables of the G function, one per input byte, and the key constants.
extern const std::array<std::uint32_t, 256> SS0;
extern const std::array<std::uint32_t, 256> SS1;
extern const std::array<std::uint32_t, 256> SS2;
extern const std::array<std::uint32_t, 256> SS3;
extern const std::array<std::uint32_t, 16> KC;

// Round keys from 16 key bytes. The 8-bit key rotations shift right
// arithmetically, as the service does: keys with a byte of 0x80 or above give
// other round keys than the standard schedule.
void seedKeySchedule(const unsigned char* key, SeedRoundKeys& roundKeys) noexcept;

// Encrypts one block in place: four words, word 0 from bytes 0 to 3, most
// significant byte first.
void seedEncryptBlock(const SeedRoundKeys& roundKeys, std::uint32_t* block) noexcept;

}  // namespace otpcli
