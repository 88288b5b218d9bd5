// Request frames as the service receives them. The parser is a pure function of
// the bytes, total over every input: it either returns the frame's fields or
// says why the bytes are not a frame.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

namespace otpd {

enum class Transaction {
    kIssue,
    kReissue,
    kCheck,
    kAddsvcCheck,
    kAuth,
    kJoin,
    kClose,
    kInitAuthErr
};

struct TransactionInfo {
    Transaction transaction;
    std::string_view code;    // seven digits
    std::size_t frameLength;  // length field included
    bool sealed;              // carries an identity block at byte 84
    std::string_view name;
};

// The transaction named by a seven-character code; null when there is none.
const TransactionInfo* findTransaction(std::string_view code) noexcept;
const TransactionInfo& transactionInfo(Transaction transaction) noexcept;

inline constexpr std::size_t kLengthFieldBytes = 5;
inline constexpr std::size_t kIdentityFieldOffset = 5;
inline constexpr std::size_t kIdentityFieldBytes = 40;
inline constexpr std::size_t kTransactionOffset = 45;
inline constexpr std::size_t kTransactionBytes = 7;
inline constexpr std::size_t kSiteOffset = 52;
inline constexpr std::size_t kSiteBytes = 32;
inline constexpr std::size_t kBlockOffset = 84;
inline constexpr std::size_t kBlockHexBytes = 96;
inline constexpr std::size_t kHeadBytes = 84;
// The longest valid frame (issue) and the largest length field the service
// reads a body for; a longer announcement is refused unread.
inline constexpr std::size_t kLongestFrame = 203;
inline constexpr std::size_t kMaxAnnouncedBody = 512;

struct RequestFrame {
    const TransactionInfo* transaction = nullptr;
    std::string identityField;  // bytes 5-44: the identity text of a check, else spaces
    std::string siteId;         // the site field up to its first NUL
    std::string identityBlock;  // 96 hex characters; sealed transactions only
    std::string codeText;       // 3 bytes; issue, reissue and the checks
    std::string valueText;      // 11 bytes, trailing spaces removed
    std::string birthDate;      // issue: YYYYMMDD as sent
    char sexLetter = ' ';       // issue
    char authLevel = ' ';       // auth
    std::string extraText;      // auth: 20 bytes, trailing spaces removed
};

enum class FrameError {
    kBadLengthField,      // the first five bytes are not digits
    kLengthMismatch,      // the length field does not count the bytes that follow
    kTooShort,            // no room for the head up to the site field
    kUnknownTransaction,  // the transaction code names no transaction
    kWrongLength,         // the frame is not as long as its transaction's
    kBadSiteField,        // bytes other than NUL after the site identifier's end
};

// The number that five length-field bytes announce; -1 unless all are digits.
int readLengthField(std::string_view fiveBytes) noexcept;

// Parses a whole frame, length field included.
std::variant<RequestFrame, FrameError> parseRequestFrame(std::string_view bytes);

}  // namespace otpd
