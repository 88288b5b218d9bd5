// otpcli.dll used as a Windows program uses it: through its import library and
// the public header alone (the class is dllimport here), with strings that the
// DLL allocates and this program frees through the system's oleaut32.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <otpcli/otpcli.h>

namespace {

const unsigned short* text(const wchar_t* units) {
    return reinterpret_cast<const unsigned short*>(units);
}

// The contents of a returned string, which is then freed.
std::wstring take(BSTR s) {
    if (s == nullptr) {
        return L"<null>";
    }
    std::wstring result(s, SysStringLen(s));
    SysFreeString(s);
    return result;
}

// A caller's own subclass, for the protected members.
class Derived : public OTPCLI {
  public:
    std::string code() const { return errorCode; }
    void fail(const char* code, const char* mesg) { setError(code, mesg); }
};

TEST(Dll, ConstantsAndDefaultsThroughTheImportLibrary) {
    EXPECT_EQ(OTPCLI::AUTH_LEVEL_1, 1);
    EXPECT_EQ(OTPCLI::AUTH_LEVEL_2, 2);
    OTPCLI client;
    int value = -1;
    EXPECT_EQ(client.getConnectTimeout(&value), S_OK);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(client.init(9100, text(L"SITE"), text(L"key")), S_OK);
    EXPECT_EQ(client.getPort(&value), S_OK);
    EXPECT_EQ(value, 9100);
    EXPECT_EQ(client.init(1, nullptr, text(L"key")), E_POINTER);
    const std::wstring tooLong(33, L's');
    EXPECT_EQ(client.init(1, text(tooLong.c_str()), text(L"key")), E_INVALIDARG);
}

TEST(Dll, HashValueReturnsASystemString) {
    OTPCLI client;
    BSTR hash = nullptr;
    ASSERT_EQ(client.hashValue(text(L"abc"), &hash), S_OK);
    ASSERT_NE(hash, nullptr);
    // The length prefix that SysAllocStringLen writes.
    EXPECT_EQ(SysStringByteLen(hash), 80u);
    EXPECT_EQ(take(hash), L"a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(Dll, FailedRequestLeavesTheKoreanMessage) {
    ASSERT_EQ(OTPCLI::setServerHosts(text(L"127.0.0.1"), text(L"127.0.0.2")), S_OK);
    OTPCLI client;
    ASSERT_EQ(client.init(9, text(L"SITE"), text(L"key")), S_OK);
    // No wait allowed: the connect fails before any packet is sent.
    client.setConnectTimeout(0);
    EXPECT_EQ(client.reqAddsvcCheck(text(L"C"), text(L"V")), E_FAIL);
    BSTR code = nullptr;
    BSTR mesg = nullptr;
    BSTR host = nullptr;
    ASSERT_EQ(client.getErrorCode(&code), S_OK);
    ASSERT_EQ(client.getErrorMesg(&mesg), S_OK);
    ASSERT_EQ(client.getHost(&host), S_OK);
    EXPECT_EQ(take(code), L"N001");
    EXPECT_EQ(take(mesg), L"서버에 접속할 수 없습니다.");
    EXPECT_EQ(take(host), L"127.0.0.1");
}

TEST(Dll, SubclassCopiesAndVirtualDestructor) {
    auto derived = std::make_unique<Derived>();
    derived->fail("E123", "message");
    const Derived copy(*derived);
    EXPECT_EQ(copy.code(), "E123");
    // Deleted through the base class: the DLL's virtual destructor.
    std::unique_ptr<OTPCLI> base(std::move(derived));
    base.reset();
    OTPCLI assigned;
    assigned = copy;
    BSTR code = nullptr;
    ASSERT_EQ(assigned.getErrorCode(&code), S_OK);
    EXPECT_EQ(take(code), L"E123");
}

}  // namespace
