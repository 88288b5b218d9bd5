// The module's readers of its settings file, user map, arguments and key text.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "arguments.h"
#include "secret.h"
#include "settings.h"
#include "user_map.h"

namespace otpcli::pam {
namespace {

TEST(PamSettings, ReadsEverySettingWithCommentsAndCrLf) {
    Settings s;
    std::string error;
    ASSERT_TRUE(
        parseSettings("# servers\r\n\r\n  hosts = otp1.example , 10.0.0.2\r\nport=9100\r\n"
                      "site = 사이트\r\nconnect_timeout = 60\r\nkey_file = /k\r\n"
                      "user_map=/u",
                      s, error))
        << error;
    EXPECT_EQ(s.primaryHost, "otp1.example");
    EXPECT_EQ(s.backupHost, "10.0.0.2");
    EXPECT_EQ(s.port, 9100);
    EXPECT_EQ(s.site, "사이트");
    EXPECT_EQ(s.connectTimeout, 60);
    EXPECT_EQ(s.keyFile, "/k");
    EXPECT_EQ(s.userMap, "/u");

    Settings one;
    ASSERT_TRUE(parseSettings("hosts = only\nport = 1\nsite = S\n", one, error)) << error;
    EXPECT_EQ(one.backupHost, "only");
    EXPECT_EQ(one.connectTimeout, 5);
    EXPECT_EQ(one.keyFile, "/etc/otpcli/pam.key");
}

TEST(PamSettings, RefusesBadValuesWithTheLine) {
    const std::string base = "hosts = h\nsite = S\n";
    const std::pair<std::string, std::string> cases[] = {
        {base + "port = 0\n", "line 3: port"},
        {base + "port = 65536\n", "line 3: port"},
        {base + "port = 91 00\n", "line 3: port"},
        {base + "port = 1\nconnect_timeout = 0\n", "line 4: connect_timeout"},
        {base + "port = 1\nconnect_timeout = 61\n", "line 4: connect_timeout"},
        {base + "port = 1\nkey_file = pam.key\n", "line 4: key_file"},
        {base + "port = 1\nhosts = a,b,c\n", "line 4: hosts"},
        {base + "port = 1\nhosts = a b\n", "line 4: hosts"},
        {base + "port = 1\nhosts = ,b\n", "line 4: hosts"},
        {base + "port = 1\nsite =\n", "line 4: site"},
        {base + "port 1\n", "line 3: expected"},
        {base + "port = 1\nPort = 2\n", "line 4: unknown setting 'Port'"},
        {"site = S\nport = 1\n", "missing hosts"},
        {"hosts = h\nsite = S\n", "missing port"},
    };
    for (const auto& [text, expected] : cases) {
        Settings s;
        std::string error;
        EXPECT_FALSE(parseSettings(text, s, error)) << text;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << text << " gave: " << error;
    }
}

const std::string kAlice = "3a8ce9d08f2a1b5e6c7d4f0a9b8e7d6c5b4a3f2e";

std::string identityOf(const UserEntry& entry) {
    return entry.identity.data();
}

TEST(PamUserMap, FindsTheUserAmongOthers) {
    const std::string map = "# LOGIN IDENTITY\n#alice " + std::string(40, '0') + "\nalic " +
                            std::string(40, '1') +
                            "\nbroken line for bob\n"
                            "alice\t" +
                            kAlice + "  010\t01012345678\r\n";
    UserEntry entry;
    std::string error;
    ASSERT_EQ(findUser(map, "alice", entry, error), MapLookup::Found) << error;
    EXPECT_EQ(identityOf(entry), kAlice);
    EXPECT_EQ(entry.code, "010");
    EXPECT_EQ(entry.value, "01012345678");

    UserEntry bare;
    ASSERT_EQ(findUser("alice " + kAlice + "\n", "alice", bare, error), MapLookup::Found);
    EXPECT_EQ(bare.code, "");
    EXPECT_EQ(bare.value, "");

    UserEntry none;
    EXPECT_EQ(findUser(map, "al", none, error), MapLookup::Missing);
    EXPECT_EQ(findUser(map, "", none, error), MapLookup::Missing);
    EXPECT_EQ(findUser(map, "#alice", none, error), MapLookup::Missing) << "comments are no entry";
}

TEST(PamUserMap, RefusesAMalformedEntryForTheUser) {
    std::string upper = kAlice;
    upper[0] = 'A';
    const std::string cases[] = {
        "alice " + kAlice.substr(1),
        "alice " + kAlice + "0",
        "alice " + upper,
        "alice " + std::string(39, 'a') + "g",
        "alice",
        "alice " + kAlice + " 010 0101 extra",
        "alice " + kAlice + "\nalice " + kAlice,
    };
    for (const std::string& map : cases) {
        UserEntry entry;
        std::string error;
        EXPECT_EQ(findUser(map, "alice", entry, error), MapLookup::Malformed) << map;
        EXPECT_EQ(error.find(kAlice.substr(0, 8)), std::string::npos) << "no identity in " << error;
    }
}

TEST(PamArguments, ReadsKnownArgumentsAndRefusesOthers) {
    const char* good[] = {"deliver", "config=/etc/x.conf",
                          "prompt=Code from your phone: ", "unknown_user=ignore", "try_first_pass"};
    Arguments a;
    std::string error;
    ASSERT_TRUE(parseArguments(5, good, a, error)) << error;
    EXPECT_TRUE(a.deliver);
    EXPECT_EQ(a.config, "/etc/x.conf");
    EXPECT_EQ(a.prompt, "Code from your phone: ");
    EXPECT_EQ(a.unknownUser, UnknownUser::Ignore);
    EXPECT_EQ(a.firstPass, FirstPass::Try);

    for (const char* bad : {"deliver=yes", "config=relative.conf", "config=", "unknown_user",
                            "unknown_user=ignroe", "use_first_pass=1", "debug", ""}) {
        Arguments b;
        EXPECT_FALSE(parseArguments(1, &bad, b, error)) << bad;
    }
}

}  // namespace
}  // namespace otpcli::pam
