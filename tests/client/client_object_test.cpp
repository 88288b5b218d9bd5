#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "client/allocation.h"
#include "client/ansi_text.h"
#include "support/codepage_seams.h"
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

// Without a code page 949 converter a text beyond ASCII cannot be converted:
// init fails rather than storing '?' for every such character (Korean key
// material would seal under the wrong key). The steps before the failure keep
// what they stored, as with the other failures of init.
TEST(ClientObject, InitFailsOnTextsThatCannotBeConverted) {
    Inspect client;
    client.init(1, w(u"OLD"), w(u"OLDKEY"));
    const otpcli::test::WithoutConverter noConverter;
    EXPECT_EQ(client.init(2, w(utf16("사이트")), w(u"k")), E_FAIL);
    int port = 0;
    client.getPort(&port);
    EXPECT_EQ(port, 2);
    EXPECT_STREQ(client.site(), "OLD");
    EXPECT_STREQ(client.key(), "OLDKEY");

    EXPECT_EQ(client.init(3, w(u"NEWSITE"), w(utf16("한글 키"))), E_FAIL);
    client.getPort(&port);
    EXPECT_EQ(port, 3);
    EXPECT_STREQ(client.site(), "NEWSITE");
    EXPECT_STREQ(client.key(), "OLDKEY");

    // ASCII needs no converter.
    EXPECT_EQ(client.init(4, w(u"SITE4"), w(u"ascii key")), S_OK);
    EXPECT_STREQ(client.key(), "ascii key");
}

TEST(ClientObject, ServerHostsThatCannotBeConverted) {
    OTPCLI client;
    BSTR before = nullptr;
    ASSERT_EQ(client.getHost(&before), S_OK);
    const std::u16string host = take(before);
    {
        const otpcli::test::WithoutConverter noConverter;
        EXPECT_EQ(OTPCLI::setServerHosts(w(utf16("서버.example")), w(u"127.0.0.9")), E_FAIL);
        EXPECT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.9"), w(utf16("서버"))), E_FAIL);
    }
    {
        const otpcli::test::WithTextLength fake(otpcli::test::kUnitsTooMany);
        EXPECT_EQ(OTPCLI::setServerHosts(w(u"127.0.0.9"), w(u"127.0.0.9")), E_INVALIDARG);
    }
    // No memory for a name past the inline room (then too long anyway).
    const std::u16string longName(otpcli::AnsiText::kInlineUnits + 1, u'h');
    otpcli::failAllocationAt(1);
    EXPECT_EQ(OTPCLI::setServerHosts(w(longName), w(u"127.0.0.9")), E_FAIL);
    otpcli::failAllocationAt(0);
    BSTR after = nullptr;
    ASSERT_EQ(client.getHost(&after), S_OK);
    EXPECT_EQ(take(after), host);
}

// The destructor wipes the key material: the object is built in storage of
// the test's own and the storage read after the object has ended.
TEST(ClientObject, DestructionLeavesNoKeyMaterial) {
    constexpr std::string_view kSecret = "secret key material 31 bytes..";
    // Filled first, so that the padding between the fields is defined when the
    // storage is read; the empty asm keeps the compiler from dropping the fill
    // as a store before the object's lifetime.
    alignas(Inspect) unsigned char storage[sizeof(Inspect)];
    std::memset(storage, 0x5a, sizeof storage);
    asm volatile("" : : "r"(storage) : "memory");
    auto* client = new (storage) Inspect;
    ASSERT_EQ(client->init(1, w(u"SITE"), w(std::u16string(kSecret.begin(), kSecret.end()))), S_OK);
    const std::string_view bytes(reinterpret_cast<const char*>(storage), sizeof storage);
    ASSERT_NE(bytes.find(kSecret), std::string_view::npos);

    // A copy keeps its own key material when the original ends.
    const Inspect copy(*client);
    client->~Inspect();
    EXPECT_EQ(bytes.find(kSecret.substr(0, 6)), std::string_view::npos);
    EXPECT_EQ(bytes.find(kSecret.substr(20)), std::string_view::npos);
    EXPECT_EQ(copy.key(), kSecret);
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
