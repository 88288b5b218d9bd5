// The state file: what survives closing and reopening it, which files it
// refuses, the purge of expired OTPs, a change that cannot be committed, and
// its size under churn.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sqlite_records.h"
#include "subscribers.h"
#include "tools/scratch_dir.h"

namespace otpcli::test {
namespace {

using otpd::ResultCode;
using otpd::SqliteRecords;
using otpd::SubscriberStore;

constexpr SqliteRecords::Settings kFast{.syncEachCommit = false, .busyTimeoutMs = 50};

std::string identity(int n) {
    std::string text = std::to_string(n);
    return std::string(40 - text.size(), '0') + text;
}

// SQL run on the file through a connection of its own, as another program
// would.
class Sql {
  public:
    explicit Sql(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~Sql() { sqlite3_close(db_); }
    bool exec(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // The first column of each row, as text ("NULL" for null).
    std::vector<std::string> column(const std::string& sql) {
        std::vector<std::string> values;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
            while (sqlite3_step(s) == SQLITE_ROW) {
                const unsigned char* v = sqlite3_column_text(s, 0);
                values.emplace_back(v != nullptr ? reinterpret_cast<const char*>(v) : "NULL");
            }
        }
        sqlite3_finalize(s);
        return values;
    }

  private:
    sqlite3* db_ = nullptr;
};

class StateFile : public ::testing::Test {
  protected:
    std::unique_ptr<SqliteRecords> open(SqliteRecords::Settings settings = kFast) {
        std::string error;
        std::unique_ptr<SqliteRecords> records =
            SqliteRecords::open(path, std::cerr, error, settings);
        EXPECT_TRUE(records) << error;
        return records;
    }
    SubscriberStore store(otpd::SubscriberRecords& records) {
        return SubscriberStore(
            records, {}, [this] { return nowMs; }, [this](std::uint32_t) { return draw; });
    }
    std::uintmax_t fileSize(const char* suffix = "") const {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path + suffix, ec);
        return ec ? 0 : size;
    }

    ScratchDir dir;
    std::string path = dir.file("state");
    std::int64_t nowMs = 1'700'000'000'000;
    std::uint32_t draw = 0;
};

TEST_F(StateFile, EverythingSurvivesReopening) {
    {
        auto records = open();
        SubscriberStore s = store(*records);
        ASSERT_EQ(s.join(identity(1)), ResultCode::kOk);
        ASSERT_EQ(s.join(identity(2)), ResultCode::kOk);
        ASSERT_EQ(s.join(identity(3)), ResultCode::kOk);
        ASSERT_EQ(s.close(identity(2)), ResultCode::kOk);
        draw = 424242;
        std::string otp;
        ASSERT_EQ(s.issue(identity(1), otp), ResultCode::kOk);
        ASSERT_EQ(s.authenticate(identity(1), 1), ResultCode::kWrongOtp);
        ASSERT_EQ(s.issue(identity(3), otp), ResultCode::kOk);
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(s.authenticate(identity(3), 1), ResultCode::kWrongOtp);
        }
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "it holds OTPs";

    auto records = open();
    EXPECT_EQ(records->count(), 2u);
    SubscriberStore s = store(*records);
    EXPECT_EQ(s.member(identity(2)), ResultCode::kNotMember);
    EXPECT_EQ(s.failures(identity(1)), 1);
    EXPECT_EQ(s.authenticate(identity(1), 424242), ResultCode::kOk);
    EXPECT_EQ(s.authenticate(identity(3), 424242), ResultCode::kLocked);
    EXPECT_EQ(s.resetFailures(identity(3)), ResultCode::kOk);
    EXPECT_EQ(s.authenticate(identity(3), 424242), ResultCode::kNoOtp) << "the lock withdrew it";
}

TEST_F(StateFile, FilesThatAreNotStateFilesAreRefused) {
    {
        std::ofstream(dir.file("text")) << "SQLite format 3? no, just text that is long enough to "
                                           "fill a header and then some more bytes of it\n";
        Sql other(dir.file("other"));
        ASSERT_TRUE(other.exec("CREATE TABLE t (x)"));
        Sql newer(dir.file("newer"));
        ASSERT_TRUE(
            newer.exec("PRAGMA application_id = 1869901924; PRAGMA user_version = 9;"
                       "CREATE TABLE t (x)"));
    }
    ASSERT_EQ(::symlink(dir.file("target").c_str(), dir.file("link").c_str()), 0);
    std::filesystem::create_directory(dir.file("directory"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    auto held = open();

    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {dir.file("text"), "not an otpd state file"},
        {dir.file("other"), "not an otpd state file"},
        {dir.file("newer"), "another otpd version"},
        {dir.file("link"), "symbolic link"},
        {dir.file("directory"), ""},
        {dir.file("fifo"), "not a regular file"},
        {dir.file("missing/state"), "No such file"},
        {path, "in use by another otpd"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(SqliteRecords::open(c.path, std::cerr, error, kFast)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.path << ": " << error;
        EXPECT_FALSE(error.empty()) << c.path;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("target"))) << "the link was not followed";
    EXPECT_EQ(std::filesystem::file_size(dir.file("newer")) > 0, true);
}

TEST_F(StateFile, ExpiredOtpsArePurgedFromTheFile) {
    auto records = open();
    SubscriberStore s = store(*records);
    std::string otp;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(s.join(identity(i)), ResultCode::kOk);
        draw = 100000 + static_cast<std::uint32_t>(i);
        ASSERT_EQ(s.issue(identity(i), otp), ResultCode::kOk);
    }
    nowMs += 120'000;
    draw = 999999;
    ASSERT_EQ(s.issue(identity(3), otp), ResultCode::kOk) << "a fresh one for the third";
    nowMs += 61'000;  // the first two expired, and a minute since the last purge

    ASSERT_EQ(s.member(identity(1)), ResultCode::kOk);  // a read does not purge
    ASSERT_EQ(s.join(identity(4)), ResultCode::kOk);    // a change purges first
    Sql file(path);
    EXPECT_EQ(file.column("SELECT otp FROM subscribers ORDER BY identity"),
              (std::vector<std::string>{"NULL", "NULL", "999999", "NULL"}));
    EXPECT_EQ(s.authenticate(identity(1), 100001), ResultCode::kExpiredOtp)
        << "a purged OTP still reads as expired";
    EXPECT_EQ(s.authenticate(identity(1), 100001), ResultCode::kNoOtp);
    EXPECT_EQ(s.authenticate(identity(3), 999999), ResultCode::kOk);
}

TEST_F(StateFile, AChangeThatCannotBeCommittedIsNotReported) {
    auto records = open();
    SubscriberStore s = store(*records);
    ASSERT_EQ(s.join(identity(1)), ResultCode::kOk);
    std::string otp;
    draw = 123456;
    ASSERT_EQ(s.issue(identity(1), otp), ResultCode::kOk);

    Sql other(path);  // another writer holds the file's write lock
    ASSERT_TRUE(other.exec("BEGIN IMMEDIATE"));
    otp.clear();
    EXPECT_EQ(s.join(identity(2)), ResultCode::kStateFailed);
    EXPECT_EQ(s.issue(identity(1), otp), ResultCode::kStateFailed);
    EXPECT_EQ(otp, "");
    EXPECT_EQ(s.authenticate(identity(1), 1), ResultCode::kStateFailed);
    EXPECT_EQ(s.close(identity(1)), ResultCode::kStateFailed);
    EXPECT_EQ(s.member(identity(1)), ResultCode::kOk) << "reads go on";
    ASSERT_TRUE(other.exec("ROLLBACK"));

    EXPECT_EQ(records->count(), 1u);
    EXPECT_EQ(s.member(identity(2)), ResultCode::kNotMember);
    EXPECT_EQ(s.failures(identity(1)), 0);
    EXPECT_EQ(s.authenticate(identity(1), 123456), ResultCode::kOk) << "the OTP was not replaced";
}

// Members come and go (each a new identity, the oldest closed), OTPs are
// issued, used or left to expire: the database reuses its free pages, and the
// log is checkpointed and cut back, so neither grows with the churn.
TEST_F(StateFile, ChurnDoesNotGrowTheFile) {
    auto records = open();
    SubscriberStore s = store(*records);
    constexpr int kRounds = 1500;
    constexpr int kMembers = 100;
    std::uintmax_t databaseAfterAThird = 0;
    std::uintmax_t largestLog = 0;
    std::string otp;
    for (int round = 0; round < kRounds; ++round) {
        nowMs += 1'000;
        draw = static_cast<std::uint32_t>(round);
        ASSERT_EQ(s.join(identity(round)), ResultCode::kOk);
        ASSERT_EQ(s.issue(identity(round), otp), ResultCode::kOk);
        if (round % 2 == 0) {
            ASSERT_EQ(s.authenticate(identity(round), draw), ResultCode::kOk);
        }
        if (round >= kMembers) {
            ASSERT_EQ(s.close(identity(round - kMembers)), ResultCode::kOk);
        }
        if (round == kRounds / 3) {
            databaseAfterAThird = fileSize();
        }
        largestLog = std::max(largestLog, fileSize("-wal"));
    }
    EXPECT_EQ(records->count(), static_cast<std::size_t>(kMembers));
    EXPECT_LE(fileSize(), databaseAfterAThird + 8 * 1024)
        << "a few pages at most; after a third: " << databaseAfterAThird;
    // The log is checkpointed at 256 pages of 4 KiB, and a change adds a few.
    EXPECT_LE(largestLog, 1024u * 1024 + 64 * 1024);
    RecordProperty("database_bytes_after_a_third", std::to_string(databaseAfterAThird));
    RecordProperty("database_bytes_at_end", std::to_string(fileSize()));
    RecordProperty("log_bytes_largest", std::to_string(largestLog));
    RecordProperty("log_bytes_at_end", std::to_string(fileSize("-wal")));
}

}  // namespace
}  // namespace otpcli::test
