// What the service does with one request frame: checks it, opens its identity
// block, acts on the subscriber store and answers with a result code.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "outbox.h"
#include "result_codes.h"
#include "sites.h"
#include "subscribers.h"

namespace otpd {

class Service {
  public:
    // A join beyond maxSubscribers members is refused.
    Service(const SiteRegistry& sites, SubscriberStore& subscribers, Outbox& outbox,
            const MessageTable& messages, std::ostream& log, std::size_t maxSubscribers);

    // The reply, length field included, to a whole request frame. peer names
    // the client in the log.
    std::string answer(std::string_view frame, std::string_view peer);
    // The reply to a request whose five-byte length field is refused before
    // any body is read.
    std::string refuseLengthField(std::string_view head, std::string_view peer);

  private:
    std::string reply(std::string_view frame, ResultCode result, std::string_view what,
                      std::string_view peer);

    const SiteRegistry& sites_;
    SubscriberStore& subscribers_;
    Outbox& outbox_;
    const MessageTable& messages_;
    std::ostream& log_;
    std::size_t maxSubscribers_;
};

}  // namespace otpd
