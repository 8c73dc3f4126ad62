// Connection handling shared by the configuration database sources
// (qvdb.cpp, qvdb_records.cpp); not for modules.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/qvdb.h"

namespace qvdb_internal {

// Serialises database work of the threads of one process (the main thread
// and the reply-callback thread share the cached connections).
std::recursive_mutex& lock();

// The process's connection to an existing file, opened on first use; null
// when the file does not exist or cannot be opened. Never creates the file.
sqlite3* reader(const char* path);

// Runs `body` in one IMMEDIATE transaction on `path` and commits it durably.
// The file is created when missing unless `create` is false (then a missing
// file gives `missing_result` without a transaction). `body` returns an SQLite
// result code; anything but SQLITE_OK rolls back. 0 when committed, else -1.
int write_transaction(const char* path, const char* what, const std::function<int(sqlite3*)>& body,
                      bool create = true, int missing_result = -1);

// Traces a failed database call in the debug log.
void log_failure(sqlite3* db, const char* path, const char* what, int rc);

// True for the errors that mean "not stored": no such table or column.
bool is_missing_schema(sqlite3* db, int rc);

// "name" quoted as an SQL identifier.
std::string quote(std::string_view name);

// An owned prepared statement.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }
  int prepare(sqlite3* db, const std::string& sql) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    return sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
  }
  sqlite3_stmt* get() const { return stmt_; }
  operator sqlite3_stmt*() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Column name and declared type.
using ColumnList = std::vector<std::pair<std::string, const char*>>;

// Creates `table` with `columns` (`key_column`, when given, as its primary
// key; "a, b" for a key of several columns) or adds the columns it lacks. Sets *changed when it
// altered anything.
int ensure_table(sqlite3* db, std::string_view table, const ColumnList& columns,
                 const char* key_column, bool* changed);

// Prepares a statement that writes into `table`: when preparing fails because
// the table or one of its columns is missing, the schema is brought up to
// `columns` first (within the caller's transaction) and the statement prepared
// again. So schema work costs nothing on the usual path.
int prepare_write(sqlite3* db, Statement* stmt, const std::string& sql, std::string_view table,
                  const ColumnList& columns, const char* key_column);

// Integer fields of every width, read and written through their bytes (records
// are packed, so fields may be unaligned).
bool is_integer(DbType type);
int64_t load_int(DbType type, const unsigned char* p);
void store_int(DbType type, unsigned char* p, int64_t value);

}  // namespace qvdb_internal
