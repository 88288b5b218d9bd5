// Subscriber records in an SQLite state file, so that they survive a restart
// or a crash of otpd: write-ahead log, one transaction per change, each
// committed and synced before the change is reported.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <ostream>
#include <string>

#include "sqlite_statement.h"
#include "subscriber_records.h"

namespace otpd {

class SqliteRecords final : public SubscriberRecords {
  public:
    struct Settings {
        // Sync the log at every commit (synchronous=FULL), so that a committed
        // change also survives a crash of the system; off, it survives a crash
        // of otpd only (synchronous=NORMAL).
        bool syncEachCommit = true;
        int busyTimeoutMs = 1000;
    };

    // Opens the state file at path, creating it with mode 0600 when missing,
    // and holds it for this process alone. Nullptr, with the reason in error,
    // when it cannot be created or opened, is not a regular file (a symbolic
    // link included), is held by another otpd, or is not an otpd state file.
    // Later failures are logged to log.
    static std::unique_ptr<SqliteRecords> open(const std::string& path, std::ostream& log,
                                               std::string& error, Settings settings);
    static std::unique_ptr<SqliteRecords> open(const std::string& path, std::ostream& log,
                                               std::string& error) {
        return open(path, log, error, Settings{});
    }

    bool read(std::string_view identity, std::optional<SubscriberRecord>& record) override;
    bool update(std::string_view identity, const Change& change) override;
    bool purgeExpired(std::int64_t now) override;
    std::size_t count() const override { return count_; }

  private:
    // The descriptor that holds the file's lock, closed only after the
    // connection: closing any descriptor of the file earlier would drop
    // SQLite's own locks.
    struct Lock {
        int fd = -1;
        ~Lock();
    };
    struct Close {
        void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    };

    SqliteRecords(std::ostream& log) : log_(log) {}
    bool prepare(std::string& error);
    bool select(std::string_view identity, std::optional<SubscriberRecord>& record);
    bool write(std::string_view identity, const std::optional<SubscriberRecord>& before,
               const std::optional<SubscriberRecord>& after);
    // Logs what failed with SQLite's reason and rolls back an open transaction.
    bool fail(const char* what);

    std::ostream& log_;
    std::size_t count_ = 0;
    Lock lock_;
    std::unique_ptr<sqlite3, Close> db_;
    SqliteStatement begin_, commit_, rollback_;
    SqliteStatement select_, insert_, update_, delete_, purge_;
};

}  // namespace otpd
