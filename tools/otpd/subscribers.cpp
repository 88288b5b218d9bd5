#include "subscribers.h"

#include <utility>

namespace otpd {

SubscriberStore::SubscriberStore(OtpPolicy policy, Now now, Draw draw)
    : policy_(policy), now_(std::move(now)), draw_(std::move(draw)) {}

SubscriberStore::Subscriber* SubscriberStore::find(std::string_view identity) {
    const auto it = members_.find(identity);
    return it == members_.end() ? nullptr : &it->second;
}

ResultCode SubscriberStore::join(std::string_view identity) {
    if (find(identity) != nullptr) {
        return ResultCode::kAlreadyMember;
    }
    members_.emplace(std::string(identity), Subscriber{});
    return ResultCode::kOk;
}

ResultCode SubscriberStore::close(std::string_view identity) {
    const auto it = members_.find(identity);
    if (it == members_.end()) {
        return ResultCode::kNotMember;
    }
    members_.erase(it);
    return ResultCode::kOk;
}

bool SubscriberStore::isMember(std::string_view identity) const {
    return members_.find(identity) != members_.end();
}

ResultCode SubscriberStore::issue(std::string_view identity, std::string& otp) {
    Subscriber* s = find(identity);
    if (s == nullptr) {
        return ResultCode::kNotMember;
    }
    if (locked(*s)) {
        return ResultCode::kLocked;
    }
    std::uint32_t bound = 1;
    for (int i = 0; i < policy_.digits; ++i) {
        bound *= 10;
    }
    s->otp = draw_(bound);
    s->hasOtp = true;
    s->expires = now_() + policy_.lifetime;
    otp = std::to_string(s->otp);
    otp.insert(0, static_cast<std::size_t>(policy_.digits) - otp.size(), '0');
    return ResultCode::kOk;
}

void SubscriberStore::withdraw(std::string_view identity) {
    if (Subscriber* s = find(identity)) {
        s->hasOtp = false;
    }
}

ResultCode SubscriberStore::authenticate(std::string_view identity, std::uint32_t otp) {
    Subscriber* s = find(identity);
    if (s == nullptr) {
        return ResultCode::kNotMember;
    }
    if (locked(*s)) {
        return ResultCode::kLocked;
    }
    if (!s->hasOtp) {
        return ResultCode::kNoOtp;
    }
    if (now_() >= s->expires) {
        s->hasOtp = false;
        return ResultCode::kExpiredOtp;
    }
    if (otp != s->otp) {
        // Guessing stops at the lock: the OTP goes with it, so that an unlocked
        // subscriber starts again from a new one.
        if (++s->failures >= policy_.failuresBeforeLock) {
            s->hasOtp = false;
        }
        return ResultCode::kWrongOtp;
    }
    s->hasOtp = false;
    s->failures = 0;
    return ResultCode::kOk;
}

ResultCode SubscriberStore::resetFailures(std::string_view identity) {
    Subscriber* s = find(identity);
    if (s == nullptr) {
        return ResultCode::kNotMember;
    }
    s->failures = 0;
    return ResultCode::kOk;
}

int SubscriberStore::failures(std::string_view identity) const {
    const auto it = members_.find(identity);
    return it == members_.end() ? 0 : it->second.failures;
}

}  // namespace otpd
