// Site definitions from the command line and from a file.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "identity_block.h"
#include "sites.h"
#include "support/text.h"

namespace otpcli::test {
namespace {

TEST(Sites, DefinitionsAcceptedAndRefused) {
    const struct {
        std::string spec;
        bool accepted;
        std::string id;  // as frames carry it
    } cases[] = {
        {"SITE01:key", true, "SITE01"},
        {"SITE01:", true, "SITE01"},
        {"S:a:b:c", true, "S"},
        {std::string(32, 's') + ":k", true, std::string(32, 's')},
        {std::string(33, 's') + ":k", false, ""},
        {"S:" + std::string(32, 'k'), true, "S"},
        {"S:" + std::string(33, 'k'), false, ""},
        {"가맹점:키", true, cp949("가맹점")},
        // 16 Korean characters are 32 bytes in code page 949, 17 are 34.
        {"가나다라마바사아자차카타파하가나:k", true, cp949("가나다라마바사아자차카타파하가나")},
        {"가나다라마바사아자차카타파하가나다:k", false, ""},
        {"no colon", false, ""},
        {":key", false, ""},
        {"\xff:key", false, ""},
        {"S:\xff", false, ""},
    };
    for (const auto& c : cases) {
        otpd::SiteRegistry sites;
        std::string error;
        EXPECT_EQ(sites.add(c.spec, error), c.accepted) << c.spec;
        EXPECT_EQ(error.empty(), c.accepted) << c.spec;
        if (c.accepted) {
            EXPECT_NE(sites.find(c.id), nullptr) << c.spec;
        } else {
            EXPECT_EQ(sites.size(), 0u) << c.spec;
        }
    }
}

TEST(Sites, ASiteIsGivenOnce) {
    otpd::SiteRegistry sites;
    std::string error;
    ASSERT_TRUE(sites.add("S:a", error));
    EXPECT_FALSE(sites.add("S:b", error));
    EXPECT_NE(error.find("twice"), std::string::npos);
    EXPECT_EQ(sites.size(), 1u);
}

TEST(Sites, AFileSkipsCommentsAndBlankLinesAndNamesABadLine) {
    otpd::SiteRegistry sites;
    std::string error;
    std::istringstream good("# sites\n\nA:one\r\nB:two\n  \n");
    EXPECT_FALSE(sites.addAll(good, error)) << "a line of spaces is not a site";
    EXPECT_NE(error.find("line 5"), std::string::npos) << error;

    otpd::SiteRegistry fresh;
    std::istringstream file("# sites\n\nA:one\r\nB:two\n");
    ASSERT_TRUE(fresh.addAll(file, error)) << error;
    EXPECT_EQ(fresh.size(), 2u);
    EXPECT_NE(fresh.find("A"), nullptr);
    EXPECT_NE(fresh.find("B"), nullptr);
    EXPECT_EQ(fresh.find("A:one"), nullptr);
    // The carriage return is not part of the key material.
    const otpcli::SealingKey expected = otpd::siteSealingKey("one");
    EXPECT_EQ(std::memcmp(&fresh.find("A")->key, &expected, sizeof expected), 0);
}

}  // namespace
}  // namespace otpcli::test
