#include "request_frame.h"

#include <algorithm>
#include <array>

namespace otpd {
namespace {

constexpr std::array<TransactionInfo, 8> kTransactions{{
    {Transaction::kIssue, "0000006", 203, true, "issue"},
    {Transaction::kReissue, "0000007", 194, true, "reissue"},
    {Transaction::kCheck, "0000009", 98, false, "check"},
    {Transaction::kAddsvcCheck, "0000015", 98, false, "addsvc-check"},
    {Transaction::kAuth, "0000004", 201, true, "auth"},
    {Transaction::kJoin, "0000200", 180, true, "join"},
    {Transaction::kClose, "0000201", 180, true, "close"},
    {Transaction::kInitAuthErr, "0000008", 180, true, "init-auth-err"},
}};

// Fields after the identity block (sealed) or after the site field (checks).
constexpr std::size_t kSealedTailOffset = kBlockOffset + kBlockHexBytes;
constexpr std::size_t kCodeBytes = 3;
constexpr std::size_t kValueBytes = 11;
constexpr std::size_t kBirthDateBytes = 8;
constexpr std::size_t kExtraBytes = 20;

std::string trimRight(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view{}
                                                     : text.substr(0, end + 1));
}

void readCodeValuePair(std::string_view bytes, std::size_t offset, RequestFrame& frame) {
    frame.codeText = std::string(bytes.substr(offset, kCodeBytes));
    frame.valueText = trimRight(bytes.substr(offset + kCodeBytes, kValueBytes));
}

}  // namespace

const TransactionInfo* findTransaction(std::string_view code) noexcept {
    const auto it = std::find_if(kTransactions.begin(), kTransactions.end(),
                                 [code](const TransactionInfo& t) { return t.code == code; });
    return it == kTransactions.end() ? nullptr : &*it;
}

const TransactionInfo& transactionInfo(Transaction transaction) noexcept {
    return kTransactions[static_cast<std::size_t>(transaction)];
}

int readLengthField(std::string_view fiveBytes) noexcept {
    if (fiveBytes.size() != kLengthFieldBytes) {
        return -1;
    }
    int value = 0;
    for (const char c : fiveBytes) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::variant<RequestFrame, FrameError> parseRequestFrame(std::string_view bytes) {
    const int announced = readLengthField(bytes.substr(0, kLengthFieldBytes));
    if (announced < 0) {
        return FrameError::kBadLengthField;
    }
    if (static_cast<std::size_t>(announced) != bytes.size() - kLengthFieldBytes) {
        return FrameError::kLengthMismatch;
    }
    if (bytes.size() < kHeadBytes) {
        return FrameError::kTooShort;
    }
    RequestFrame frame;
    frame.transaction = findTransaction(bytes.substr(kTransactionOffset, kTransactionBytes));
    if (frame.transaction == nullptr) {
        return FrameError::kUnknownTransaction;
    }
    if (bytes.size() != frame.transaction->frameLength) {
        return FrameError::kWrongLength;
    }

    const std::string_view site = bytes.substr(kSiteOffset, kSiteBytes);
    const std::size_t end = std::min(site.find('\0'), site.size());
    if (site.find_first_not_of('\0', end) != std::string_view::npos) {
        return FrameError::kBadSiteField;
    }
    frame.siteId = std::string(site.substr(0, end));
    frame.identityField = std::string(bytes.substr(kIdentityFieldOffset, kIdentityFieldBytes));

    if (frame.transaction->sealed) {
        frame.identityBlock = std::string(bytes.substr(kBlockOffset, kBlockHexBytes));
    }
    switch (frame.transaction->transaction) {
        case Transaction::kIssue:
            frame.birthDate = std::string(bytes.substr(kSealedTailOffset, kBirthDateBytes));
            frame.sexLetter = bytes[kSealedTailOffset + kBirthDateBytes];
            readCodeValuePair(bytes, kSealedTailOffset + kBirthDateBytes + 1, frame);
            break;
        case Transaction::kReissue:
            readCodeValuePair(bytes, kSealedTailOffset, frame);
            break;
        case Transaction::kAuth:
            frame.authLevel = bytes[kSealedTailOffset];
            frame.extraText = trimRight(bytes.substr(kSealedTailOffset + 1, kExtraBytes));
            break;
        case Transaction::kCheck:
        case Transaction::kAddsvcCheck:
            readCodeValuePair(bytes, kHeadBytes, frame);
            break;
        case Transaction::kJoin:
        case Transaction::kClose:
        case Transaction::kInitAuthErr:
            break;
    }
    return frame;
}

}  // namespace otpd
