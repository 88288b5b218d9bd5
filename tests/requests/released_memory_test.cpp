// What heap memory holds when the library releases it, seen through the
// allocation seam: none of a resident registration number, the identity text
// derived from it, or the birth data it carries.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "client/allocation.h"
#include "requests/request_fixture.h"

namespace otpcli::test {
namespace {

const std::string kNumber = "8505031234565";

// Records the bytes of every block released on this thread while it lives.
class ReleasedMemory {
  public:
    ReleasedMemory() { watchReleases(&record, this); }
    ~ReleasedMemory() { watchReleases(nullptr, nullptr); }
    ReleasedMemory(const ReleasedMemory&) = delete;
    ReleasedMemory& operator=(const ReleasedMemory&) = delete;

    bool holds(std::string_view needle) const {
        return std::any_of(blocks_.begin(), blocks_.end(), [&](const std::string& block) {
            return block.find(needle) != std::string::npos;
        });
    }
    // The size of the largest block released, so that a test knows the memory
    // it looks at was there.
    std::size_t largest() const {
        std::size_t most = 0;
        for (const std::string& block : blocks_) {
            most = std::max(most, block.size());
        }
        return most;
    }

  private:
    static void record(const unsigned char* block, std::size_t size, void* context) {
        static_cast<ReleasedMemory*>(context)->blocks_.emplace_back(
            reinterpret_cast<const char*>(block), size);
    }

    std::vector<std::string> blocks_;
};

using ReleasedMemoryTest = RequestTest;

// A text past the inline room is converted into heap memory.
TEST_F(ReleasedMemoryTest, HashValueLeavesNoTextBehind) {
    const std::string text = kNumber + std::string(300, '-');
    ReleasedMemory released;
    BSTR hash = nullptr;
    ASSERT_EQ(client.hashValue(w(utf16(text)), &hash), S_OK);
    SysFreeString(hash);
    EXPECT_GE(released.largest(), 2 * text.size() + 2);
    EXPECT_FALSE(released.holds(kNumber));
}

// The check's frame carries the identity text in the clear; a reply too long
// for it makes the exchange replace that buffer with a larger one.
TEST_F(ReleasedMemoryTest, CheckLeavesNoIdentityTextBehind) {
    const std::string identity = sha1Hex(kNumber);
    for (const std::size_t replyText : {std::size_t{0}, std::size_t{2000}}) {
        service.setReply(RecordingService::reply("0000", std::string(replyText, 'm')));
        ReleasedMemory released;
        ASSERT_EQ(client.reqCheck(w(utf16(kNumber)), 0, w(u"C"), w(u"V")), S_OK) << replyText;
        ASSERT_EQ(service.frames().back().substr(5, 40), identity);
        // The frame buffer (98 bytes and 256 of room), or the larger one.
        EXPECT_GE(released.largest(), std::max<std::size_t>(98 + 256, replyText)) << replyText;
        EXPECT_FALSE(released.holds(identity)) << replyText;
    }
}

// Issue sends the birth date and sex of the number in the clear; an identity
// argument past the inline room goes to the heap.
TEST_F(ReleasedMemoryTest, RequestsLeaveNoNumberBehind) {
    ReleasedMemory released;
    ASSERT_EQ(client.reqIssue(w(utf16(kNumber)), w(u"C"), w(u"V")), S_OK);
    ASSERT_EQ(service.frames().back().substr(180, 9), "19850503M");
    const std::string longIdentity = kNumber + std::string(200, '#');
    ASSERT_EQ(client.reqAuth(w(utf16(longIdentity)), 2, 1234567, 1, w(utf16(kNumber))), S_OK);
    ASSERT_EQ(client.reqJoin(w(utf16(longIdentity)), 2), S_OK);
    EXPECT_GE(released.largest(), 2 * longIdentity.size() + 2);
    EXPECT_FALSE(released.holds("19850503M"));
    EXPECT_FALSE(released.holds(kNumber));
    EXPECT_FALSE(released.holds(sha1Hex(kNumber)));
}

}  // namespace
}  // namespace otpcli::test
