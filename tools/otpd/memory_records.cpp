#include "memory_records.h"

namespace otpd {

bool MemoryRecords::read(std::string_view identity, std::optional<SubscriberRecord>& record) {
    const auto it = records_.find(identity);
    record = it == records_.end() ? std::nullopt : std::optional<SubscriberRecord>(it->second);
    return true;
}

bool MemoryRecords::update(std::string_view identity, const Change& change) {
    const auto it = records_.find(identity);
    std::optional<SubscriberRecord> record;
    if (it != records_.end()) {
        record = it->second;
    }
    if (!change(record)) {
        return true;
    }
    if (!record) {
        if (it != records_.end()) {
            records_.erase(it);
        }
    } else if (it != records_.end()) {
        it->second = *record;
    } else {
        records_.emplace(std::string(identity), *record);
    }
    return true;
}

bool MemoryRecords::purgeExpired(std::int64_t now) {
    for (auto& [identity, record] : records_) {
        if (record.otp && record.expires && *record.expires <= now) {
            record.otp.reset();
        }
    }
    return true;
}

}  // namespace otpd
