// Arbitrary bytes as a request frame arriving at otpd: the parser either
// returns fields that fit the frame's transaction or names what is wrong, and
// never reads outside the bytes it was given.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz_check.h"
#include "request_frame.h"

namespace {

bool allDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

void checkFrame(std::string_view bytes, const otpd::RequestFrame& frame) {
    const otpd::TransactionInfo* tx = frame.transaction;
    FUZZ_CHECK(tx != nullptr);
    FUZZ_CHECK(otpd::findTransaction(tx->code) == tx);
    FUZZ_CHECK(bytes.size() == tx->frameLength);
    FUZZ_CHECK(bytes.substr(otpd::kTransactionOffset, otpd::kTransactionBytes) == tx->code);
    FUZZ_CHECK(otpd::readLengthField(bytes.substr(0, otpd::kLengthFieldBytes)) ==
               static_cast<int>(bytes.size() - otpd::kLengthFieldBytes));
    FUZZ_CHECK(frame.siteId.size() <= otpd::kSiteBytes);
    FUZZ_CHECK(frame.siteId.find('\0') == std::string::npos);
    FUZZ_CHECK(bytes.substr(otpd::kSiteOffset, frame.siteId.size()) == frame.siteId);
    FUZZ_CHECK(frame.identityField ==
               bytes.substr(otpd::kIdentityFieldOffset, otpd::kIdentityFieldBytes));
    FUZZ_CHECK(frame.identityBlock.size() == (tx->sealed ? otpd::kBlockHexBytes : 0));
    FUZZ_CHECK(frame.valueText.empty() || frame.valueText.back() != ' ');
    FUZZ_CHECK(frame.valueText.size() <= 11 && frame.extraText.size() <= 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so that a read past it is caught.
    const std::vector<char> exact(data, data + size);
    const std::string_view bytes(exact.data(), exact.size());
    const auto parsed = otpd::parseRequestFrame(bytes);
    if (const auto* frame = std::get_if<otpd::RequestFrame>(&parsed)) {
        checkFrame(bytes, *frame);
    } else if (std::get<otpd::FrameError>(parsed) == otpd::FrameError::kBadLengthField) {
        FUZZ_CHECK(bytes.size() < otpd::kLengthFieldBytes ||
                   !allDigits(bytes.substr(0, otpd::kLengthFieldBytes)));
    }
    return 0;
}
