#include "subscribers.h"

#include <utility>

namespace otpd {
namespace {

constexpr std::int64_t kPurgeIntervalMs = 60'000;

void forgetOtp(SubscriberRecord& s) {
    s.otp.reset();
    s.expires.reset();
}

}  // namespace

SubscriberStore::SubscriberStore(SubscriberRecords& records, OtpPolicy policy, Now now, Draw draw)
    : records_(records), policy_(policy), now_(std::move(now)), draw_(std::move(draw)) {}

void SubscriberStore::purgeNowAndThen(std::int64_t now) {
    if (now >= nextPurge_) {
        nextPurge_ = now + kPurgeIntervalMs;
        records_.purgeExpired(now);
    }
}

ResultCode SubscriberStore::apply(std::string_view identity, const Rule& rule) {
    purgeNowAndThen(now_());
    ResultCode result = ResultCode::kStateFailed;
    const bool saved = records_.update(identity, [&](std::optional<SubscriberRecord>& record) {
        bool changed = false;
        result = rule(record, changed);
        return changed;
    });
    return saved ? result : ResultCode::kStateFailed;
}

ResultCode SubscriberStore::join(std::string_view identity) {
    return apply(identity, [](std::optional<SubscriberRecord>& s, bool& changed) {
        if (s) {
            return ResultCode::kAlreadyMember;
        }
        s.emplace();
        changed = true;
        return ResultCode::kOk;
    });
}

ResultCode SubscriberStore::close(std::string_view identity) {
    return apply(identity, [](std::optional<SubscriberRecord>& s, bool& changed) {
        if (!s) {
            return ResultCode::kNotMember;
        }
        s.reset();
        changed = true;
        return ResultCode::kOk;
    });
}

ResultCode SubscriberStore::member(std::string_view identity) {
    std::optional<SubscriberRecord> s;
    if (!records_.read(identity, s)) {
        return ResultCode::kStateFailed;
    }
    return s ? ResultCode::kOk : ResultCode::kNotMember;
}

ResultCode SubscriberStore::issue(std::string_view identity, std::string& otp) {
    std::uint32_t value = 0;
    const ResultCode result =
        apply(identity, [&](std::optional<SubscriberRecord>& s, bool& changed) {
            if (!s) {
                return ResultCode::kNotMember;
            }
            if (locked(*s)) {
                return ResultCode::kLocked;
            }
            std::uint32_t bound = 1;
            for (int i = 0; i < policy_.digits; ++i) {
                bound *= 10;
            }
            value = draw_(bound);
            s->otp = value;
            s->expires = now_() + std::chrono::milliseconds(policy_.lifetime).count();
            changed = true;
            return ResultCode::kOk;
        });
    if (result == ResultCode::kOk) {
        otp = std::to_string(value);
        otp.insert(0, static_cast<std::size_t>(policy_.digits) - otp.size(), '0');
    }
    return result;
}

void SubscriberStore::withdraw(std::string_view identity) {
    apply(identity, [](std::optional<SubscriberRecord>& s, bool& changed) {
        if (s && s->expires) {
            forgetOtp(*s);
            changed = true;
        }
        return ResultCode::kOk;
    });
}

ResultCode SubscriberStore::authenticate(std::string_view identity, std::uint32_t otp) {
    return apply(identity, [&](std::optional<SubscriberRecord>& s, bool& changed) {
        if (!s) {
            return ResultCode::kNotMember;
        }
        if (locked(*s)) {
            return ResultCode::kLocked;
        }
        if (!s->expires) {
            return ResultCode::kNoOtp;
        }
        changed = true;
        // An OTP without its digits was purged as expired (by a clock that
        // has since gone back).
        if (now_() >= *s->expires || !s->otp) {
            forgetOtp(*s);
            return ResultCode::kExpiredOtp;
        }
        if (otp != *s->otp) {
            // Guessing stops at the lock: the OTP goes with it, so that an
            // unlocked subscriber starts again from a new one.
            if (++s->failures >= policy_.failuresBeforeLock) {
                forgetOtp(*s);
            }
            return ResultCode::kWrongOtp;
        }
        forgetOtp(*s);
        s->failures = 0;
        return ResultCode::kOk;
    });
}

ResultCode SubscriberStore::resetFailures(std::string_view identity) {
    return apply(identity, [](std::optional<SubscriberRecord>& s, bool& changed) {
        if (!s) {
            return ResultCode::kNotMember;
        }
        // Saved even when the count was already 0: "0000" is only sent for a
        // request whose effect is on record.
        s->failures = 0;
        changed = true;
        return ResultCode::kOk;
    });
}

int SubscriberStore::failures(std::string_view identity) {
    std::optional<SubscriberRecord> s;
    return records_.read(identity, s) && s ? s->failures : 0;
}

}  // namespace otpd
