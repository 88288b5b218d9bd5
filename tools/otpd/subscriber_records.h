// Where the subscribers are kept: one record per member, by identity text,
// read and changed one identity at a time. The rules that decide what a
// request does to a record live in SubscriberStore, the same for every kind of
// storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace otpd {

struct SubscriberRecord {
    int failures = 0;
    // The OTP issued and not yet used, withdrawn or purged.
    std::optional<std::uint32_t> otp;
    // When the OTP issued last expires, in milliseconds on the store's clock.
    // It outlives the purge of an expired OTP, so that a late authentication
    // still hears that its OTP expired.
    std::optional<std::int64_t> expires;

    bool operator==(const SubscriberRecord&) const = default;
};

class SubscriberRecords {
  public:
    // Given the record of one identity (nullopt for one that is not a member),
    // edits it, creates it or removes it (resets the optional), and tells
    // whether it did any of these.
    using Change = std::function<bool(std::optional<SubscriberRecord>& record)>;

    virtual ~SubscriberRecords() = default;

    // The record of identity, into record; false when it cannot be read.
    virtual bool read(std::string_view identity, std::optional<SubscriberRecord>& record) = 0;
    // Reads the record of identity and applies change to it as one atomic
    // step. When change reports an edit, the edit is durable by the time this
    // returns true. False when the record cannot be read or the edit cannot be
    // saved; nothing is changed then.
    virtual bool update(std::string_view identity, const Change& change) = 0;
    // Forgets every OTP that expired at or before now; their expiry stays.
    virtual bool purgeExpired(std::int64_t now) = 0;
    // The number of members.
    virtual std::size_t count() const = 0;
};

}  // namespace otpd
