// Shared scaffolding of the reliability suites: a client whose error state the
// tests can read, the server table pointed at loopback, every test seam off,
// and a wait for the descriptors of a test's peers to be closed.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <otpcli/otpcli.h>

#include "client/allocation.h"
#include "platform/socket.h"
#include "requests/exchange.h"
#include "support/descriptors.h"
#include "support/text.h"

namespace otpcli::test {

inline constexpr char kSite[] = "SITE01";
inline constexpr char kKey[] = "site key material";
// A resident registration number whose check digit fits.
inline const std::u16string kNumber = u"8505031234565";

// Exposes the error state.
class TestClient : public OTPCLI {
  public:
    std::string code() const { return errorCode; }
    std::string mesg() const { return errorMesg; }
};

class ReliabilityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        failAllocationAt(0);
        platform::failSocketCallAt(0);
        setReplyDeadlineMillis(kReplyDeadlineMillis);
        ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.1")), S_OK);
    }
    void TearDown() override {
        failAllocationAt(0);
        platform::failSocketCallAt(0);
        setReplyDeadlineMillis(kReplyDeadlineMillis);
    }

    // The client configured for a service on port, with two one-second
    // connect waits.
    void configure(int port) {
        ASSERT_EQ(client.init(port, w(utf16(kSite)), w(utf16(kKey))), S_OK);
        ASSERT_EQ(client.setConnectTimeout(2), S_OK);
    }

    TestClient client;
};

// True once the process has count descriptors open again, within limit: the
// test's peers close their ends on threads of their own.
bool descriptorsSettleTo(int count,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(3000));

}  // namespace otpcli::test
