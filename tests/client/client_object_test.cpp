#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/text.h"

using otpcli::test::take;
using otpcli::test::utf16;
using otpcli::test::w;

namespace {

// Exposes the protected fields for inspection.
class Inspect : public OTPCLI {
  public:
    using OTPCLI::OTPCLI;
    explicit Inspect(const OTPCLI& other) : OTPCLI(other) {}
    const char* site() const { return siteId; }
    const char* key() const { return keyMaterial; }
    const char* siteField() const { return siteId; }
    void fail(const char* code, const char* mesg) { setError(code, mesg); }
};

TEST(ClientObject, NewObjectHasDefaults) {
    OTPCLI client;
    BSTR code = nullptr;
    BSTR mesg = nullptr;
    ASSERT_EQ(client.getErrorCode(&code), S_OK);
    ASSERT_EQ(client.getErrorMesg(&mesg), S_OK);
    ASSERT_NE(code, nullptr);
    ASSERT_NE(mesg, nullptr);
    EXPECT_EQ(take(code), u"");
    EXPECT_EQ(take(mesg), u"");
    int value = -1;
    EXPECT_EQ(client.getConnectTimeout(&value), S_OK);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(client.getPort(&value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(OTPCLI::AUTH_LEVEL_1, 1);
    EXPECT_EQ(OTPCLI::AUTH_LEVEL_2, 2);
}

TEST(ClientObject, NullOutPointersGiveEPointer) {
    OTPCLI client;
    EXPECT_EQ(client.getErrorCode(nullptr), E_POINTER);
    EXPECT_EQ(client.getErrorMesg(nullptr), E_POINTER);
    EXPECT_EQ(client.getHost(nullptr), E_POINTER);
    EXPECT_EQ(client.getPort(nullptr), E_POINTER);
    EXPECT_EQ(client.getConnectTimeout(nullptr), E_POINTER);
}

TEST(ClientObject, StatusValuesAreNegativeOnFailure) {
    EXPECT_LT(E_FAIL, 0);
    EXPECT_LT(E_POINTER, 0);
    EXPECT_LT(E_INVALIDARG, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(E_FAIL), 0x80004005u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_POINTER), 0x80004003u);
    EXPECT_EQ(static_cast<std::uint32_t>(E_INVALIDARG), 0x80070057u);
}

TEST(ClientObject, InitStoresPortAndTexts) {
    Inspect client;
    EXPECT_EQ(client.init(7001, w(u"SITE0001"), w(u"key")), S_OK);
    client.init(7002, w(u"AB"), w(u"k2"));
    int port = 0;
    client.getPort(&port);
    EXPECT_EQ(port, 7002);
    // The shorter identifier leaves zero bytes, not the rest of the old one.
    const char expected[33] = "AB";
    EXPECT_EQ(std::memcmp(client.siteField(), expected, 33), 0);
    EXPECT_STREQ(client.key(), "k2");
}

TEST(ClientObject, InitLimitsAreInBytesAfterConversion) {
    Inspect client;
    const std::u16string ascii32(32, u'a');
    EXPECT_EQ(client.init(1, w(ascii32), w(u"k")), S_OK);
    // Sixteen Korean characters take 32 bytes in code page 949.
    const std::u16string korean16 = utf16("가나다라마바사아자차카타파하가나");
    ASSERT_EQ(korean16.size(), 16u);
    EXPECT_EQ(client.init(2, w(korean16), w(u"k")), S_OK);
    EXPECT_EQ(std::strlen(client.site()), 32u);

    client.init(3, w(u"SITE"), w(u"KEY"));
    const std::u16string ascii33(33, u'b');
    EXPECT_EQ(client.init(4, w(ascii33), w(u"other")), E_INVALIDARG);
    int port = 0;
    client.getPort(&port);
    EXPECT_EQ(port, 4);  // the port is stored before the texts are tested
    EXPECT_STREQ(client.site(), "SITE");
    EXPECT_STREQ(client.key(), "KEY");

    EXPECT_EQ(client.init(5, w(u"NEW"), w(ascii33)), E_INVALIDARG);
    EXPECT_STREQ(client.site(), "NEW");
    EXPECT_STREQ(client.key(), "KEY");
    const std::u16string longText(5000, u'x');
    EXPECT_EQ(client.init(6, w(longText), w(u"k")), E_INVALIDARG);
}

TEST(ClientObject, InitNullTextsGiveEPointerAfterEarlierSteps) {
    Inspect client;
    client.init(1, w(u"OLD"), w(u"OLDKEY"));
    EXPECT_EQ(client.init(2, nullptr, w(u"k")), E_POINTER);
    EXPECT_STREQ(client.site(), "OLD");
    EXPECT_EQ(client.init(3, w(u"NEWSITE"), nullptr), E_POINTER);
    int port = 0;
    client.getPort(&port);
    EXPECT_EQ(port, 3);
    EXPECT_STREQ(client.site(), "NEWSITE");
    EXPECT_STREQ(client.key(), "OLDKEY");
}

TEST(ClientObject, FailedInitKeepsTheErrorState) {
    Inspect client;
    client.fail("X123", "previous");
    EXPECT_EQ(client.init(1, nullptr, nullptr), E_POINTER);
    BSTR code = nullptr;
    client.getErrorCode(&code);
    EXPECT_EQ(take(code), u"X123");
}

TEST(ClientObject, ConnectTimeoutIsStoredUnchecked) {
    OTPCLI client;
    for (int value : {0, -3, 1, 60}) {
        EXPECT_EQ(client.setConnectTimeout(value), S_OK);
        int read = 99;
        client.getConnectTimeout(&read);
        EXPECT_EQ(read, value);
    }
}

TEST(ClientObject, CopyAndAssignmentCarryEveryField) {
    Inspect original;
    original.init(4321, w(u"SITE-A"), w(u"KEY-A"));
    original.setConnectTimeout(9);
    original.fail("E123", "message");

    Inspect copy(original);
    Inspect assigned;
    assigned = original;
    for (Inspect* c : {&copy, &assigned}) {
        int port = 0;
        int timeout = 0;
        c->getPort(&port);
        c->getConnectTimeout(&timeout);
        EXPECT_EQ(port, 4321);
        EXPECT_EQ(timeout, 9);
        EXPECT_STREQ(c->site(), "SITE-A");
        EXPECT_STREQ(c->key(), "KEY-A");
        BSTR code = nullptr;
        BSTR mesg = nullptr;
        c->getErrorCode(&code);
        c->getErrorMesg(&mesg);
        EXPECT_EQ(take(code), u"E123");
        EXPECT_EQ(take(mesg), u"message");
    }
    // Copies are independent.
    copy.init(1, w(u"OTHER"), w(u"K"));
    EXPECT_STREQ(original.site(), "SITE-A");

    Inspect& self = assigned;
    assigned = self;
    EXPECT_STREQ(assigned.site(), "SITE-A");
}

TEST(ReturnedStrings, LayoutAndNull) {
    const OLECHAR units[] = {'a', 'b', 'c'};
    BSTR s = SysAllocStringLen(units, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(s) - 4, 4);
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);
    BSTR zeroed = SysAllocStringLen(nullptr, 2);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(zeroed[0], 0);
    EXPECT_EQ(zeroed[2], 0);
    SysFreeString(zeroed);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

}  // namespace
