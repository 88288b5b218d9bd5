// Reply frames as otpd writes them, read back the way the library reads them.
#include <gtest/gtest.h>

#include "reply.h"
#include "requests/exchange.h"
#include "tools/hand_frames.h"

namespace otpcli::test {
namespace {

TEST(Reply, CodeAndMessageSitWhereTheLibraryReadsThem) {
    const std::string request =
        handFrame("0000009", "SITE", "010" + std::string(11, ' '), std::string(40, 'e'));
    const std::string message = "\xb0\xa1\xb3\xaa";  // two code page 949 characters
    const std::string reply = otpd::encodeReply(request, "S101", message);

    ASSERT_EQ(parseReplyLength(reply.c_str()), static_cast<int>(reply.size() - 5));
    const std::string body = reply.substr(5);
    EXPECT_EQ(body.substr(0, 40), std::string(40, 'e'));
    EXPECT_EQ(body.substr(40, 4), "S101");
    EXPECT_EQ(body.substr(44, 3), "009");
    EXPECT_EQ(body.substr(47), message);
    // Counted from the start of the reply, the code stands where the request
    // has its transaction code.
    EXPECT_EQ(reply.substr(45, 4), "S101");
}

TEST(Reply, FieldsARequestIsTooShortToHaveAreSpaces) {
    const struct {
        std::string request;
        std::string identityEcho;
        std::string codeTail;
    } cases[] = {
        {"", std::string(40, ' '), "   "},
        {"GET /", std::string(40, ' '), "   "},
        {std::string(44, '1'), std::string(40, ' '), "   "},
        {std::string(45, '1'), std::string(40, '1'), "   "},
        {std::string(52, '1'), std::string(40, '1'), "111"},
    };
    for (const auto& c : cases) {
        const std::string reply = otpd::encodeReply(c.request, "S203", "");
        ASSERT_EQ(reply.size(), 5u + 47u) << c.request.size();
        EXPECT_EQ(reply.substr(0, 5), "00047");
        EXPECT_EQ(reply.substr(5, 40), c.identityEcho) << c.request.size();
        EXPECT_EQ(reply.substr(45, 4), "S203");
        EXPECT_EQ(reply.substr(49, 3), c.codeTail) << c.request.size();
    }
}

}  // namespace
}  // namespace otpcli::test
