// A prepared SQLite statement, owned: prepared once, reset after each use and
// finalized with its owner.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace otpd {

class SqliteStatement {
  public:
    SqliteStatement() = default;
    // Prepares sql on db for repeated use; prepared() tells whether it worked.
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool prepared() const { return statement_ != nullptr; }

    // Parameters count from 1. The bytes of a blob must outlive the step.
    void bindBlob(int index, std::string_view bytes);
    void bindInteger(int index, std::optional<std::int64_t> value);  // nullopt binds NULL

    // One step: SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Columns of the current row, counted from 0.
    std::optional<std::int64_t> integer(int column) const;
    std::string_view text(int column) const;
    // Ready for the next use: bindings cleared.
    void reset();
    // A step to its end, then reset: SQLITE_DONE on success.
    int run();

  private:
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace otpd
