#include "service.h"

#include <optional>
#include <variant>

#include "codepage.h"
#include "identity_block.h"
#include "reply.h"
#include "request_frame.h"

namespace otpd {
namespace {

constexpr std::size_t kIdentityTextBytes = 40;
constexpr std::size_t kOtpDigits = 7;

ResultCode refusal(FrameError error) {
    return error == FrameError::kUnknownTransaction ? ResultCode::kUnknownTransaction
                                                    : ResultCode::kMalformedFrame;
}

// The seven OTP digits that follow the identity text in an authentication.
std::optional<std::uint32_t> otpValue(std::string_view digits) {
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

}  // namespace

Service::Service(const SiteRegistry& sites, SubscriberStore& subscribers, Outbox& outbox,
                 const MessageTable& messages, std::ostream& log, std::size_t maxSubscribers)
    : sites_(sites),
      subscribers_(subscribers),
      outbox_(outbox),
      messages_(messages),
      log_(log),
      maxSubscribers_(maxSubscribers) {}

std::string Service::reply(std::string_view frame, ResultCode result, std::string_view what,
                           std::string_view peer) {
    const ResultInfo& r = info(result);
    log_ << "otpd: " << peer << ' ' << what << " -> " << r.code << '\n' << std::flush;
    return encodeReply(frame, r.code, messages_.message(result));
}

std::string Service::refuseLengthField(std::string_view head, std::string_view peer) {
    return reply(head, ResultCode::kMalformedFrame, "length field '" + printable(head) + "'", peer);
}

std::string Service::answer(std::string_view frame, std::string_view peer) {
    std::variant<RequestFrame, FrameError> parsed = parseRequestFrame(frame);
    if (const FrameError* error = std::get_if<FrameError>(&parsed)) {
        return reply(frame, refusal(*error),
                     "frame of " + std::to_string(frame.size()) + " bytes refused", peer);
    }
    const RequestFrame& request = std::get<RequestFrame>(parsed);
    const TransactionInfo& tx = *request.transaction;
    const std::string what = std::string(tx.name) + " site '" + printable(request.siteId) + "'";

    const Site* site = sites_.find(request.siteId);
    if (site == nullptr) {
        return reply(frame, ResultCode::kUnknownSite, what, peer);
    }
    if (tx.transaction == Transaction::kAddsvcCheck) {
        return reply(frame, ResultCode::kOk, what, peer);
    }
    if (tx.transaction == Transaction::kCheck) {
        return reply(frame, subscribers_.member(request.identityField),
                     what + " " + printable(request.identityField), peer);
    }

    const std::optional<std::string> plain = openIdentityBlock(site->key, request.identityBlock);
    const std::size_t expected =
        kIdentityTextBytes + (tx.transaction == Transaction::kAuth ? kOtpDigits : 0);
    if (!plain || plain->size() != expected) {
        return reply(frame, ResultCode::kBlockDoesNotOpen, what, peer);
    }
    const std::string_view identity = std::string_view(*plain).substr(0, kIdentityTextBytes);
    const std::string who = what + " " + printable(identity);

    switch (tx.transaction) {
        case Transaction::kJoin:
            // A captured frame can be altered into joins of new identities
            // (nothing checks a block's integrity), so the store is bounded.
            if (subscribers_.count() >= maxSubscribers_) {
                // A member may join again; a state file that cannot be read
                // says so rather than claim the limit.
                ResultCode known = subscribers_.member(identity);
                if (known == ResultCode::kNotMember) {
                    known = ResultCode::kSubscriberLimit;
                }
                if (known != ResultCode::kOk) {
                    return reply(frame, known, who, peer);
                }
            }
            return reply(frame, subscribers_.join(identity), who, peer);
        case Transaction::kClose:
            return reply(frame, subscribers_.close(identity), who, peer);
        case Transaction::kInitAuthErr:
            return reply(frame, subscribers_.resetFailures(identity), who, peer);
        case Transaction::kAuth: {
            const std::optional<std::uint32_t> otp =
                otpValue(std::string_view(*plain).substr(kIdentityTextBytes));
            if (!otp) {
                return reply(frame, ResultCode::kMalformedFrame, who, peer);
            }
            return reply(frame, subscribers_.authenticate(identity, *otp),
                         who + " level '" + printable(std::string(1, request.authLevel)) +
                             "' extra '" + printable(request.extraText) + "'",
                         peer);
        }
        case Transaction::kIssue:
        case Transaction::kReissue: {
            std::string otp;
            const ResultCode result = subscribers_.issue(identity, otp);
            if (result != ResultCode::kOk) {
                return reply(frame, result, who, peer);
            }
            if (!outbox_.deliver(
                    {otp, std::string(identity), request.codeText, request.valueText})) {
                subscribers_.withdraw(identity);
                return reply(frame, ResultCode::kDeliveryFailed, who, peer);
            }
            return reply(frame, ResultCode::kOk, who, peer);
        }
        case Transaction::kCheck:
        case Transaction::kAddsvcCheck:
            break;
    }
    return reply(frame, ResultCode::kUnknownTransaction, who, peer);
}

}  // namespace otpd
