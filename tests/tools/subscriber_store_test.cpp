// Subscriber standing, OTP lifetime and the lock after failed
// authentications, on a clock and a random source the test controls; the same
// rules over records in memory and in a state file.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <ostream>
#include <vector>

#include "memory_records.h"
#include "sqlite_records.h"
#include "subscribers.h"
#include "tools/scratch_dir.h"

namespace otpcli::test {
namespace {

using otpd::ResultCode;
using otpd::SubscriberStore;
using std::chrono::seconds;

enum class Storage { kMemory, kStateFile };

void PrintTo(Storage storage, std::ostream* out) {
    *out << (storage == Storage::kMemory ? "in memory" : "in a state file");
}

class SubscriberStoreTest : public ::testing::TestWithParam<Storage> {
  protected:
    // A store over fresh, empty records.
    SubscriberStore makeStore(int digits = 6) {
        if (GetParam() == Storage::kMemory) {
            records.push_back(std::make_unique<otpd::MemoryRecords>());
        } else {
            std::string error;
            records.push_back(
                otpd::SqliteRecords::open(dir.file("state" + std::to_string(records.size())),
                                          std::cerr, error, {.syncEachCommit = false}));
            EXPECT_TRUE(records.back()) << error;
        }
        return SubscriberStore(
            *records.back(), {digits, seconds(180), 5}, [this] { return nowMs; },
            [this](std::uint32_t bound) {
                bounds.push_back(bound);
                const std::uint32_t value = draws.empty() ? 0 : draws.front();
                if (!draws.empty()) {
                    draws.pop_front();
                }
                return value;
            });
    }
    void advance(seconds s) { nowMs += std::chrono::milliseconds(s).count(); }

    ScratchDir dir;
    std::vector<std::unique_ptr<otpd::SubscriberRecords>> records;
    std::int64_t nowMs = 1'000'000;
    std::deque<std::uint32_t> draws;
    std::vector<std::uint32_t> bounds;
    const std::string alice = std::string(40, 'a');
    const std::string bob = std::string(40, 'b');
};

INSTANTIATE_TEST_SUITE_P(Storages, SubscriberStoreTest,
                         ::testing::Values(Storage::kMemory, Storage::kStateFile),
                         [](const auto& info) {
                             return info.param == Storage::kMemory ? "Memory" : "StateFile";
                         });

TEST_P(SubscriberStoreTest, MembershipFollowsJoinAndClose) {
    SubscriberStore store = makeStore();
    EXPECT_EQ(store.member(alice), ResultCode::kNotMember);
    EXPECT_EQ(store.close(alice), ResultCode::kNotMember);
    EXPECT_EQ(store.join(alice), ResultCode::kOk);
    EXPECT_EQ(store.member(alice), ResultCode::kOk);
    EXPECT_EQ(store.member(bob), ResultCode::kNotMember);
    EXPECT_EQ(store.join(alice), ResultCode::kAlreadyMember);
    EXPECT_EQ(store.join(bob), ResultCode::kOk);
    EXPECT_EQ(store.count(), 2u);
    EXPECT_EQ(store.close(alice), ResultCode::kOk);
    EXPECT_EQ(store.member(alice), ResultCode::kNotMember);
    EXPECT_EQ(store.count(), 1u);
}

TEST_P(SubscriberStoreTest, OtpsHaveTheirDigitsWithLeadingZeros) {
    for (const int digits : {6, 7}) {
        SubscriberStore store = makeStore(digits);
        ASSERT_EQ(store.join(alice), ResultCode::kOk);
        draws = {42};
        bounds.clear();
        std::string otp;
        ASSERT_EQ(store.issue(alice, otp), ResultCode::kOk);
        EXPECT_EQ(otp, std::string(static_cast<std::size_t>(digits) - 2, '0') + "42");
        EXPECT_EQ(bounds, (std::vector<std::uint32_t>{digits == 6 ? 1000000u : 10000000u}));
        EXPECT_EQ(store.authenticate(alice, 42), ResultCode::kOk);
    }
}

TEST_P(SubscriberStoreTest, AnOtpIsUsedOnceAndOnlyByItsSubscriber) {
    SubscriberStore store = makeStore();
    store.join(alice);
    store.join(bob);
    std::string otp;
    draws = {123456};
    ASSERT_EQ(store.issue(alice, otp), ResultCode::kOk);
    EXPECT_EQ(store.authenticate(bob, 123456), ResultCode::kNoOtp);
    EXPECT_EQ(store.authenticate(alice, 123456), ResultCode::kOk);
    EXPECT_EQ(store.authenticate(alice, 123456), ResultCode::kNoOtp);
    EXPECT_EQ(store.issue(std::string(40, 'c'), otp), ResultCode::kNotMember);
    EXPECT_EQ(store.authenticate(std::string(40, 'c'), 0), ResultCode::kNotMember);
}

TEST_P(SubscriberStoreTest, AnOtpExpiresAtTheEndOfItsLifetime) {
    SubscriberStore store = makeStore();
    store.join(alice);
    std::string otp;
    draws = {5, 6};
    store.issue(alice, otp);
    advance(seconds(179));
    EXPECT_EQ(store.authenticate(alice, 5), ResultCode::kOk);

    store.issue(alice, otp);
    advance(seconds(180));
    EXPECT_EQ(store.authenticate(alice, 6), ResultCode::kExpiredOtp);
    EXPECT_EQ(store.authenticate(alice, 6), ResultCode::kNoOtp) << "an expired OTP is gone";
    EXPECT_EQ(store.failures(alice), 0) << "expiry is not a failure";
}

TEST_P(SubscriberStoreTest, ReissueReplacesTheOtpAndRestartsItsLifetime) {
    SubscriberStore store = makeStore();
    store.join(alice);
    std::string otp;
    draws = {1, 2};
    store.issue(alice, otp);
    advance(seconds(170));
    store.issue(alice, otp);
    advance(seconds(170));
    EXPECT_EQ(store.authenticate(alice, 1), ResultCode::kWrongOtp);
    EXPECT_EQ(store.authenticate(alice, 2), ResultCode::kOk);
}

TEST_P(SubscriberStoreTest, TheFifthFailureLocksUntilReset) {
    SubscriberStore store = makeStore();
    store.join(alice);
    std::string otp;
    draws = {777, 888};
    store.issue(alice, otp);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(store.authenticate(alice, 1), ResultCode::kWrongOtp) << i;
        EXPECT_EQ(store.failures(alice), i);
    }
    EXPECT_EQ(store.authenticate(alice, 777), ResultCode::kLocked);
    EXPECT_EQ(store.issue(alice, otp), ResultCode::kLocked);
    EXPECT_EQ(store.failures(alice), 5) << "refusals while locked do not count";

    EXPECT_EQ(store.resetFailures(alice), ResultCode::kOk);
    EXPECT_EQ(store.failures(alice), 0);
    EXPECT_EQ(store.authenticate(alice, 777), ResultCode::kNoOtp) << "the lock withdrew it";
    ASSERT_EQ(store.issue(alice, otp), ResultCode::kOk);
    EXPECT_EQ(store.authenticate(alice, 888), ResultCode::kOk);
    EXPECT_EQ(store.resetFailures(bob), ResultCode::kNotMember);
}

TEST_P(SubscriberStoreTest, SuccessClearsTheFailureCount) {
    SubscriberStore store = makeStore();
    store.join(alice);
    std::string otp;
    draws = {10, 20};
    store.issue(alice, otp);
    for (int i = 0; i < 4; ++i) {
        store.authenticate(alice, 1);
    }
    ASSERT_EQ(store.authenticate(alice, 10), ResultCode::kOk);
    EXPECT_EQ(store.failures(alice), 0);
    store.issue(alice, otp);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(store.authenticate(alice, 1), ResultCode::kWrongOtp);
    }
    EXPECT_EQ(store.authenticate(alice, 20), ResultCode::kOk);
}

TEST_P(SubscriberStoreTest, ClosingForgetsEverything) {
    SubscriberStore store = makeStore();
    store.join(alice);
    std::string otp;
    draws = {99};
    store.issue(alice, otp);
    store.authenticate(alice, 1);
    ASSERT_EQ(store.close(alice), ResultCode::kOk);
    ASSERT_EQ(store.join(alice), ResultCode::kOk);
    EXPECT_EQ(store.failures(alice), 0);
    EXPECT_EQ(store.authenticate(alice, 99), ResultCode::kNoOtp);
}

TEST_P(SubscriberStoreTest, AWithdrawnOtpNoLongerAuthenticates) {
    SubscriberStore store = makeStore();
    store.join(alice);
    std::string otp;
    draws = {31};
    store.issue(alice, otp);
    store.withdraw(alice);
    EXPECT_EQ(store.authenticate(alice, 31), ResultCode::kNoOtp);
}

}  // namespace
}  // namespace otpcli::test
