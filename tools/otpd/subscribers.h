// The rules of subscriber standing: membership, the current OTP and the count
// of failed authentications that locks a subscriber, applied to records kept
// in memory or in a state file alike.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "result_codes.h"
#include "subscriber_records.h"

namespace otpd {

struct OtpPolicy {
    int digits = 6;  // 6 or 7
    std::chrono::seconds lifetime{180};
    int failuresBeforeLock = 5;
};

// Every operation that reports a change (kOk, a counted failure, a lock, an
// expiry) has saved it in the records before it returns; kStateFailed when
// the records cannot be read or the change cannot be saved, and then nothing
// has changed.
class SubscriberStore {
  public:
    // Milliseconds on the clock the records' expiry times are kept on: the
    // wall clock for records that outlive the process, a steady clock else.
    using Now = std::function<std::int64_t()>;
    // A uniformly drawn number below bound.
    using Draw = std::function<std::uint32_t(std::uint32_t bound)>;

    SubscriberStore(SubscriberRecords& records, OtpPolicy policy, Now now, Draw draw);

    ResultCode join(std::string_view identity);
    ResultCode close(std::string_view identity);
    // kOk for a member, else kNotMember (or kStateFailed).
    ResultCode member(std::string_view identity);

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

    // The failure count of a member; 0 for anyone else.
    int failures(std::string_view identity);
    // The number of members.
    std::size_t count() const { return records_.count(); }

  private:
    // What a rule does to one identity's record: edits it (setting changed)
    // and gives the result to answer with.
    using Rule = std::function<ResultCode(std::optional<SubscriberRecord>& record, bool& changed)>;

    ResultCode apply(std::string_view identity, const Rule& rule);
    bool locked(const SubscriberRecord& s) const {
        return s.failures >= policy_.failuresBeforeLock;
    }
    // Forgets expired OTPs, at most once a minute.
    void purgeNowAndThen(std::int64_t now);

    SubscriberRecords& records_;
    OtpPolicy policy_;
    Now now_;
    Draw draw_;
    std::int64_t nextPurge_ = std::numeric_limits<std::int64_t>::min();
};

}  // namespace otpd
