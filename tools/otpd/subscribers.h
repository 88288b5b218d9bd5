// Subscribers in memory, by identity text: membership, the current OTP and
// the count of failed authentications that locks a subscriber.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "result_codes.h"

namespace otpd {

struct OtpPolicy {
    int digits = 6;  // 6 or 7
    std::chrono::seconds lifetime{180};
    int failuresBeforeLock = 5;
};

class SubscriberStore {
  public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;
    // A uniformly drawn number below bound.
    using Draw = std::function<std::uint32_t(std::uint32_t bound)>;

    SubscriberStore(OtpPolicy policy, Now now, Draw draw);

    ResultCode join(std::string_view identity);
    ResultCode close(std::string_view identity);
    bool isMember(std::string_view identity) const;
    // The number of members.
    std::size_t count() const { return members_.size(); }

    // A new OTP for a member who is not locked, replacing any earlier one; its
    // digits (with leading zeros) go to otp.
    ResultCode issue(std::string_view identity, std::string& otp);
    // Forgets the current OTP, for one that could not be delivered.
    void withdraw(std::string_view identity);

    // Checks an OTP. A right one is used up and clears the failure count; a
    // wrong one counts a failure, and the last allowed failure locks and
    // withdraws the OTP.
    ResultCode authenticate(std::string_view identity, std::uint32_t otp);
    // Clears the failure count and with it the lock.
    ResultCode resetFailures(std::string_view identity);

    int failures(std::string_view identity) const;

  private:
    struct Subscriber {
        int failures = 0;
        bool hasOtp = false;
        std::uint32_t otp = 0;
        Clock::time_point expires{};
    };

    Subscriber* find(std::string_view identity);
    bool locked(const Subscriber& s) const { return s.failures >= policy_.failuresBeforeLock; }

    OtpPolicy policy_;
    Now now_;
    Draw draw_;
    std::map<std::string, Subscriber, std::less<>> members_;
};

}  // namespace otpd
