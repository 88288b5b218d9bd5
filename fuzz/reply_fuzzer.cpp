// Arbitrary bytes from the service, read as a reply. The first input byte picks
// the request (the size of its frame buffer and its success message) and
// whether the larger reply buffer can be had; the rest is what the service
// sends before it closes. The outcome is compared with a model of the reply
// format built here on strtol and std::string.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/allocation.h"
#include "client/messages.h"
#include "fuzz_check.h"
#include "requests/frame.h"
#include "requests/reply_reader.h"

namespace {

using otpcli::Outcome;
using otpcli::Result;

// The service's bytes, as a socket delivers them until the peer closes.
class StreamSource final : public otpcli::ReplySource {
  public:
    explicit StreamSource(std::string bytes) : bytes_(std::move(bytes)) {}

    int receive(char* buffer, int length) noexcept override {
        const std::size_t n =
            std::min(static_cast<std::size_t>(std::max(length, 0)), bytes_.size() - at_);
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return static_cast<int>(n);
    }

  private:
    std::string bytes_;
    std::size_t at_ = 0;
};

constexpr int kFrameLengths[] = {98, 180, 194, 201, 203};

struct Expected {
    std::string code;
    std::string mesg;
    std::int32_t status;
};

Expected expectedOutcome(const std::string& stream, std::size_t capacity, const Result& success,
                         bool memoryLeft) {
    const Expected n002{otpcli::kTransferFailed.code, otpcli::kTransferFailed.mesg, E_FAIL};
    if (stream.size() < 5) {
        return n002;
    }
    const std::string field = stream.substr(0, 5);
    const long length = std::strtol(field.c_str(), nullptr, 10);
    if (length < 0) {
        return n002;
    }
    const auto n = static_cast<std::size_t>(length);
    if (capacity < n + 1 && !memoryLeft) {
        return {otpcli::kOutOfMemory.code, otpcli::kOutOfMemory.mesg, E_FAIL};
    }
    if (stream.size() - 5 < n) {
        return n002;
    }
    // The body in a zero-filled buffer of at least the frame buffer's size.
    std::string body = stream.substr(5, n);
    body.resize(std::max(capacity, n + 1), '\0');
    if (body.compare(40, 4, "0000") == 0) {
        return {"0000", success.mesg, S_OK};
    }
    const std::string code = body.substr(40, 4);
    const std::string mesg = body.substr(47, 256);
    return {code.substr(0, code.find('\0')), mesg.substr(0, mesg.find('\0')), E_FAIL};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t choice = data[0];
    const int frameLength = kFrameLengths[(choice & 7) % 5];
    const Result& success = (choice & 8) != 0 ? otpcli::kServiceAvailable : otpcli::kSuccess;
    const bool memoryLeft = (choice & 16) == 0;
    const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto capacity = static_cast<std::size_t>(frameLength + otpcli::kReplyRoom);

    otpcli::ByteBuffer buffer = otpcli::newFrame(frameLength);
    FUZZ_CHECK(buffer != nullptr);
    StreamSource source(stream);
    Outcome out;
    // The only allocation left to fail is the larger reply buffer.
    otpcli::failAllocationAt(memoryLeft ? 0 : 1);
    const bool received = otpcli::receiveReply(source, buffer, capacity, out);
    otpcli::failAllocationAt(0);
    if (received) {
        FUZZ_CHECK(buffer != nullptr);
        otpcli::interpretReply(reinterpret_cast<const char*>(buffer.get()), success, out);
    }

    const Expected expected = expectedOutcome(stream, capacity, success, memoryLeft);
    FUZZ_CHECK(out.code == expected.code);
    FUZZ_CHECK(out.mesg == expected.mesg);
    FUZZ_CHECK(out.status == expected.status);
    return 0;
}
