#include "sqlite_records.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace otpd {
namespace {

// 'otpd' in the file's header, and the layout of its one table.
constexpr std::int64_t kApplicationId = 0x6f747064;
constexpr std::int64_t kSchemaVersion = 1;

// The identity is the 40 bytes of the identity text as it came out of the
// identity block (or the check request's clear field): any bytes, so a blob.
// The partial index finds the OTPs to purge without a scan.
constexpr char kSchema[] =
    "CREATE TABLE subscribers ("
    " identity BLOB PRIMARY KEY NOT NULL,"
    " failures INTEGER NOT NULL,"
    " otp INTEGER,"
    " expires INTEGER"
    ") STRICT, WITHOUT ROWID;"
    "CREATE INDEX subscribers_expiring ON subscribers (expires) WHERE otp IS NOT NULL;"
    "PRAGMA application_id = 1869901924;"
    "PRAGMA user_version = 1;";
static_assert(kApplicationId == 1869901924 && kSchemaVersion == 1, "kSchema spells them out");

// The write-ahead log is copied into the database once it holds 256 pages
// (1 MiB of 4 KiB pages; SQLite's default of 1000 pages is 4 MiB for a
// database that is often a few KiB), then reused from its start and cut back
// to 1 MiB: it never holds much more than that.
constexpr char kLogLimits[] =
    "PRAGMA wal_autocheckpoint = 256; PRAGMA journal_size_limit = 1048576";

bool exec(sqlite3* db, const char* sql, std::string& error) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

// Creates the table in an empty file, accepts a file that has it, refuses
// anything else.
bool checkSchema(sqlite3* db, std::string& error) {
    if (!exec(db, "BEGIN IMMEDIATE", error)) {
        return false;
    }
    SqliteStatement header(db,
                           "SELECT (SELECT application_id FROM pragma_application_id),"
                           " (SELECT user_version FROM pragma_user_version),"
                           " (SELECT count(*) FROM sqlite_schema)");
    bool ok = header.prepared() && header.step() == SQLITE_ROW;
    if (!ok) {
        error = sqlite3_errmsg(db);
    } else {
        const std::int64_t application = header.integer(0).value_or(0);
        const std::int64_t version = header.integer(1).value_or(0);
        const std::int64_t objects = header.integer(2).value_or(0);
        header.reset();
        if (application == 0 && version == 0 && objects == 0) {
            ok = exec(db, kSchema, error);
        } else if (application != kApplicationId) {
            error = "not an otpd state file (a database of another program)";
            ok = false;
        } else if (version != kSchemaVersion) {
            error = "state file of another otpd version (layout " + std::to_string(version) + ")";
            ok = false;
        }
    }
    std::string ignored;
    return exec(db, ok ? "COMMIT" : "ROLLBACK", ok ? error : ignored) && ok;
}

}  // namespace

SqliteRecords::Lock::~Lock() {
    if (fd >= 0) {
        ::close(fd);
    }
}

std::unique_ptr<SqliteRecords> SqliteRecords::open(const std::string& path, std::ostream& log,
                                                   std::string& error, Settings settings) {
    std::unique_ptr<SqliteRecords> records(new SqliteRecords(log));
    Lock& lock = records->lock_;
    lock.fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (lock.fd < 0) {
        error = errno == ELOOP ? "a symbolic link, not a state file" : std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(lock.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        return nullptr;
    }
    // flock and SQLite's fcntl locks do not interact: this one only keeps a
    // second otpd away, whose count of members would go stale.
    if (::flock(lock.fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "in use by another otpd" : std::strerror(errno);
        return nullptr;
    }

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX,
        nullptr);
    records->db_.reset(db);
    if (rc != SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        return nullptr;
    }
    sqlite3_busy_timeout(db, settings.busyTimeoutMs);

    SqliteStatement journal(db, "PRAGMA journal_mode = WAL");
    if (!journal.prepared() || journal.step() != SQLITE_ROW) {
        error = sqlite3_errcode(db) == SQLITE_NOTADB
                    ? std::string("not an otpd state file (not a database)")
                    : std::string(sqlite3_errmsg(db));
        return nullptr;
    }
    if (journal.text(0) != "wal") {
        error = "the file system does not support a write-ahead log";
        return nullptr;
    }
    journal.reset();
    if (!exec(db,
              settings.syncEachCommit ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL",
              error) ||
        !exec(db, "PRAGMA secure_delete = ON", error) || !exec(db, kLogLimits, error) ||
        !checkSchema(db, error) || !records->prepare(error)) {
        return nullptr;
    }

    SqliteStatement members(db, "SELECT count(*) FROM subscribers");
    if (!members.prepared() || members.step() != SQLITE_ROW) {
        error = sqlite3_errmsg(db);
        return nullptr;
    }
    records->count_ = static_cast<std::size_t>(members.integer(0).value_or(0));
    return records;
}

bool SqliteRecords::prepare(std::string& error) {
    sqlite3* db = db_.get();
    begin_ = SqliteStatement(db, "BEGIN IMMEDIATE");
    commit_ = SqliteStatement(db, "COMMIT");
    rollback_ = SqliteStatement(db, "ROLLBACK");
    select_ =
        SqliteStatement(db, "SELECT failures, otp, expires FROM subscribers WHERE identity = ?1");
    insert_ = SqliteStatement(
        db, "INSERT INTO subscribers (identity, failures, otp, expires) VALUES (?1, ?2, ?3, ?4)");
    update_ = SqliteStatement(
        db, "UPDATE subscribers SET failures = ?2, otp = ?3, expires = ?4 WHERE identity = ?1");
    delete_ = SqliteStatement(db, "DELETE FROM subscribers WHERE identity = ?1");
    purge_ = SqliteStatement(
        db, "UPDATE subscribers SET otp = NULL WHERE otp IS NOT NULL AND expires <= ?1");
    for (const SqliteStatement* s :
         {&begin_, &commit_, &rollback_, &select_, &insert_, &update_, &delete_, &purge_}) {
        if (!s->prepared()) {
            error = sqlite3_errmsg(db);
            return false;
        }
    }
    return true;
}

bool SqliteRecords::fail(const char* what) {
    log_ << "otpd: state file: " << what << ": " << sqlite3_errmsg(db_.get()) << '\n' << std::flush;
    if (sqlite3_get_autocommit(db_.get()) == 0) {
        rollback_.run();
    }
    return false;
}

bool SqliteRecords::select(std::string_view identity, std::optional<SubscriberRecord>& record) {
    select_.bindBlob(1, identity);
    const int rc = select_.step();
    if (rc == SQLITE_ROW) {
        record = SubscriberRecord{static_cast<int>(select_.integer(0).value_or(0)), std::nullopt,
                                  select_.integer(2)};
        if (const std::optional<std::int64_t> otp = select_.integer(1)) {
            record->otp = static_cast<std::uint32_t>(*otp);
        }
    } else {
        record.reset();
    }
    select_.reset();
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

bool SqliteRecords::read(std::string_view identity, std::optional<SubscriberRecord>& record) {
    return select(identity, record) || fail("read");
}

bool SqliteRecords::write(std::string_view identity, const std::optional<SubscriberRecord>& before,
                          const std::optional<SubscriberRecord>& after) {
    if (!after) {
        delete_.bindBlob(1, identity);
        return delete_.run() == SQLITE_DONE;
    }
    SqliteStatement& s = before ? update_ : insert_;
    s.bindBlob(1, identity);
    s.bindInteger(2, after->failures);
    s.bindInteger(3, after->otp ? std::optional<std::int64_t>(*after->otp) : std::nullopt);
    s.bindInteger(4, after->expires);
    return s.run() == SQLITE_DONE;
}

bool SqliteRecords::update(std::string_view identity, const Change& change) {
    if (begin_.run() != SQLITE_DONE) {
        return fail("begin");
    }
    std::optional<SubscriberRecord> before;
    if (!select(identity, before)) {
        return fail("read");
    }
    std::optional<SubscriberRecord> after = before;
    if (!change(after)) {
        rollback_.run();
        return true;
    }
    if (!write(identity, before, after)) {
        return fail("write");
    }
    if (commit_.run() != SQLITE_DONE) {
        return fail("commit");
    }
    if (before && !after) {
        --count_;
    } else if (!before && after) {
        ++count_;
    }
    return true;
}

bool SqliteRecords::purgeExpired(std::int64_t now) {
    purge_.bindInteger(1, now);
    return purge_.run() == SQLITE_DONE || fail("purge");
}

}  // namespace otpd
