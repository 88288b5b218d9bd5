// Fail-over from the primary otpd (127.0.0.1) to the backup (127.0.0.2) on the
// same port once the primary is down.
#include <gtest/gtest.h>

#include "net/server_table.h"
#include "support/text.h"
#include "tools/otpd_process.h"
#include "tools/service_client.h"

namespace otpcli::test {
namespace {

TEST(Failover, RequestsMoveToTheBackupWhenThePrimaryIsDown) {
    OtpdProcess backup;
    ASSERT_TRUE(backup.start({}, "127.0.0.2"));
    OtpdProcess primary;
    if (!primary.start({}, "127.0.0.1", backup.port())) {
        GTEST_SKIP() << "port " << backup.port() << " is taken on 127.0.0.1";
    }
    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.1"), w(u"127.0.0.2")), S_OK);
    ServiceClient client;
    ASSERT_EQ(client.init(backup.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
    client.setConnectTimeout(2);
    const std::u16string person = utf16(residentNumber("850503123456"));

    ASSERT_EQ(client.reqJoin(w(person), 0), S_OK) << client.code();
    EXPECT_EQ(client.host(), "127.0.0.1");
    ASSERT_EQ(primary.stop(), 0) << "otpd stops cleanly on SIGTERM";

    int refused = 0;
    HRESULT status = E_FAIL;
    while (refused <= kFailoverThreshold && (status = client.reqJoin(w(person), 0)) != S_OK) {
        EXPECT_EQ(client.code(), "N001");
        EXPECT_EQ(client.host(), "127.0.0.1");
        ++refused;
    }
    // The backup keeps its own subscribers: the join succeeds there although
    // the primary had this subscriber already.
    EXPECT_EQ(status, S_OK) << client.code();
    EXPECT_EQ(refused, kFailoverThreshold);
    EXPECT_EQ(client.host(), "127.0.0.2");

    EXPECT_EQ(client.reqJoin(w(person), 0), E_FAIL) << "later requests stay on the backup";
    EXPECT_EQ(client.code(), "S102");
    EXPECT_EQ(client.host(), "127.0.0.2");
}

TEST(Failover, SettingTheHostsAgainReturnsToThePrimary) {
    OtpdProcess backup;
    ASSERT_TRUE(backup.start());
    // Nothing listens on 127.0.0.2 at this port: five refusals, then the
    // request goes to the backup.
    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.2"), w(u"127.0.0.1")), S_OK);
    ServiceClient client;
    ASSERT_EQ(client.init(backup.port(), w(utf16(kSite)), w(utf16(kKey))), S_OK);
    HRESULT status = E_FAIL;
    for (int i = 0; i <= kFailoverThreshold && status != S_OK; ++i) {
        status = client.reqAddsvcCheck(w(u"010"), w(u"x"));
    }
    ASSERT_EQ(status, S_OK);
    EXPECT_EQ(client.host(), "127.0.0.1");

    ASSERT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.2"), w(u"127.0.0.1")), S_OK);
    EXPECT_EQ(client.host(), "127.0.0.2");
    EXPECT_EQ(client.reqAddsvcCheck(w(u"010"), w(u"x")), E_FAIL);
    EXPECT_EQ(client.code(), "N001");
}

}  // namespace
}  // namespace otpcli::test
