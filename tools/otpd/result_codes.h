// The service's result codes and the Korean messages sent with them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace otpd {

enum class ResultCode {
    kOk,
    kNotMember,
    kAlreadyMember,
    kWrongOtp,
    kNoOtp,
    kExpiredOtp,
    kLocked,
    kUnknownSite,
    kBlockDoesNotOpen,
    kMalformedFrame,
    kUnknownTransaction,
    kDeliveryFailed,
    kSubscriberLimit,
    kStateFailed,
};

inline constexpr std::size_t kResultCodeCount = 14;

struct ResultInfo {
    ResultCode result;
    std::string_view code;  // four characters on the wire
    std::string_view utf8Message;
};

// Every result with its code and message, in the order of ResultCode.
extern const std::array<ResultInfo, kResultCodeCount> kResults;

inline const ResultInfo& info(ResultCode result) {
    return kResults[static_cast<std::size_t>(result)];
}

// The messages as code page 949 bytes, converted once at startup.
class MessageTable {
  public:
    // Nullopt when the system cannot convert to code page 949.
    static std::optional<MessageTable> load();

    std::string_view message(ResultCode result) const {
        return cp949_[static_cast<std::size_t>(result)];
    }

  private:
    std::array<std::string, kResultCodeCount> cp949_;
};

}  // namespace otpd
