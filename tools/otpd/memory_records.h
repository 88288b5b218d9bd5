// Subscriber records in memory: nothing survives the process.
#pragma once

#include <map>
#include <string>

#include "subscriber_records.h"

namespace otpd {

class MemoryRecords final : public SubscriberRecords {
  public:
    bool read(std::string_view identity, std::optional<SubscriberRecord>& record) override;
    bool update(std::string_view identity, const Change& change) override;
    bool purgeExpired(std::int64_t now) override;
    std::size_t count() const override { return records_.size(); }

  private:
    std::map<std::string, SubscriberRecord, std::less<>> records_;
};

}  // namespace otpd
