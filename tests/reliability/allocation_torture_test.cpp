// Every allocation a request makes fails in turn: each failure ends the request
// with A001 and E_FAIL, leaks nothing (LeakSanitizer in the asan preset) and
// leaves no descriptor open; once none is left to fail, the request succeeds.
#include <functional>
#include <string>

#include "client/messages.h"
#include "reliability/reliability_fixture.h"
#include "requests/recording_service.h"

namespace otpcli::test {
namespace {

// More than the 128 units converted without heap memory, and two bytes each
// in code page 949.
const std::u16string kLongText(200, u'\uAC00');

struct Operation {
    const char* name;
    std::function<HRESULT(OTPCLI&)> call;
    // Converted long texts, the sealed block, the frame and the larger reply
    // buffer: the allocations the call makes when none fails.
    int allocations;
};

// Every request, with long texts wherever an argument takes free text.
// Identity form 2 hashes the long text without the number check.
const Operation kOperations[] = {
    {"issue", [](OTPCLI& c) { return c.reqIssue(w(kNumber), w(kLongText), w(kLongText)); }, 5},
    {"reissue", [](OTPCLI& c) { return c.reqReissue(w(kLongText), 2, w(kLongText), w(kLongText)); },
     6},
    {"check", [](OTPCLI& c) { return c.reqCheck(w(kNumber), 0, w(kLongText), w(kLongText)); }, 4},
    {"addsvc-check", [](OTPCLI& c) { return c.reqAddsvcCheck(w(kLongText), w(kLongText)); }, 4},
    {"auth", [](OTPCLI& c) { return c.reqAuth(w(kLongText), 2, 1234567, 2, w(kLongText)); }, 5},
    {"join", [](OTPCLI& c) { return c.reqJoin(w(kLongText), 2); }, 4},
    {"close", [](OTPCLI& c) { return c.reqClose(w(kLongText), 2); }, 4},
    {"init-auth-err", [](OTPCLI& c) { return c.reqInitAuthErr(w(kLongText), 2); }, 4},
};

class AllocationTorture : public ReliabilityTest {
  protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        configure(service.port());
    }

    RecordingService service;
};

TEST_F(AllocationTorture, EachAllocationOfEachRequestFailsInTurn) {
    // A body larger than any frame buffer (at most 203 + 256 bytes).
    service.setReply(RecordingService::reply("0000", std::string(1000, 'm')));
    // A leaked descriptor keeps the count above this for good; the service's
    // end of a connection only for as long as it takes to close it.
    const int descriptors = openDescriptorCount();
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        int failed = 0;
        for (int k = 1; k <= op.allocations + 1; ++k) {
            SCOPED_TRACE("allocation " + std::to_string(k));
            const int framesBefore = static_cast<int>(service.frames().size());
            failAllocationAt(k);
            const HRESULT status = op.call(client);
            const int counted = failAllocationAt(0);
            if (counted < k) {
                EXPECT_EQ(status, S_OK);
                EXPECT_EQ(client.code(), "0000");
                break;
            }
            ++failed;
            EXPECT_EQ(status, E_FAIL);
            EXPECT_EQ(client.code(), kOutOfMemory.code);
            EXPECT_EQ(client.mesg(), kOutOfMemory.mesg);
            // Only the reply buffer, the last allocation, comes after the frame went out.
            EXPECT_EQ(static_cast<int>(service.frames().size()) - framesBefore,
                      k == op.allocations ? 1 : 0);
            EXPECT_TRUE(descriptorsSettleTo(descriptors));
        }
        EXPECT_EQ(failed, op.allocations);
    }
}

}  // namespace
}  // namespace otpcli::test
