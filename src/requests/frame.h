// Request frames: fixed-width ASCII, every byte that no field writes a space.
#pragma once

#include <cstddef>
#include <string_view>

#include "client/allocation.h"

namespace otpcli {

inline constexpr int kLengthFieldBytes = 5;
inline constexpr int kIdentityTextOffset = 5;
inline constexpr int kIdentityTextBytes = 40;
inline constexpr int kTransactionCodeOffset = 45;
inline constexpr int kSiteIdOffset = 52;
inline constexpr int kSiteIdBytes = 32;
inline constexpr int kIdentityBlockOffset = 84;
inline constexpr int kCodeTextBytes = 3;
inline constexpr int kValueTextBytes = 11;
// Room after the frame, so that most replies fit the same buffer.
inline constexpr int kReplyRoom = 256;

struct Operation {
    const char* transactionCode;  // seven digits
    int frameLength;
};

inline constexpr Operation kIssue{"0000006", 203};
inline constexpr Operation kReissue{"0000007", 194};
inline constexpr Operation kCheck{"0000009", 98};
inline constexpr Operation kAddsvcCheck{"0000015", 98};
inline constexpr Operation kAuth{"0000004", 201};
inline constexpr Operation kJoin{"0000200", 180};
inline constexpr Operation kClose{"0000201", 180};
inline constexpr Operation kInitAuthErr{"0000008", 180};

// A zeroed buffer of frameLength + kReplyRoom bytes whose first frameLength
// bytes are spaces; empty when the memory cannot be had.
ByteBuffer newFrame(int frameLength) noexcept;

// The length field, transaction code and site identifier (its 32 bytes as
// stored, NUL bytes included).
void writeFrameHead(char* frame, const Operation& op, const char* siteId) noexcept;

// At most width bytes of text at frame[offset]; the rest of the field keeps its
// spaces.
void writeText(char* frame, int offset, int width, std::string_view text) noexcept;

// The code-and-value pair: three bytes of code, eleven of value.
void writeCodeValuePair(char* frame, int offset, std::string_view code,
                        std::string_view value) noexcept;

}  // namespace otpcli
