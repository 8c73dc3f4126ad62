#include "frame/session.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "frame/web_utils.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace nvr::auth {
namespace {

std::optional<bool> g_enabled;

// ---- the session database -------------------------------------------------------

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

struct FinalizeStmt {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS sessions(id TEXT PRIMARY KEY, account INTEGER NOT NULL,"
    " name TEXT NOT NULL, address TEXT NOT NULL, opened INTEGER NOT NULL,"
    " last_used INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS sessions_account ON sessions(account);"
    "CREATE TABLE IF NOT EXISTS login_failures(address TEXT NOT NULL, at INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS login_blocks(address TEXT PRIMARY KEY, until INTEGER NOT NULL);";

// Concurrent runs share the file: they wait for each other's writes (WAL,
// busy timeout) rather than fail. Nothing here must survive a power cut, so
// writes are not synced: the last-use refresh of every request stays cheap.
Db open_db(bool create) {
  const std::string path = dev_path(kSessionDb);
  if (!create && access(path.c_str(), F_OK) != 0) return nullptr;
  sqlite3* raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &raw, flags, nullptr) != SQLITE_OK) {
    CGI_LOG("sessions: cannot open %s: %s", path.c_str(),
            raw ? sqlite3_errmsg(raw) : "out of memory");
    sqlite3_close_v2(raw);
    return nullptr;
  }
  Db db(raw);
  sqlite3_busy_timeout(raw, 5000);
  sqlite3_exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
  if (sqlite3_exec(raw, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
    CGI_LOG("sessions: cannot prepare %s: %s", path.c_str(), sqlite3_errmsg(raw));
    return nullptr;
  }
  return db;
}

// A statement with its values bound in order (texts and integers).
struct Value {
  Value(int64_t n) : is_text(false), number(n) {}
  Value(int32_t n) : is_text(false), number(n) {}
  Value(std::string_view t) : is_text(true), text(t) {}
  bool is_text;
  int64_t number = 0;
  std::string_view text;
};

Stmt prepare(sqlite3* db, const char* sql, std::initializer_list<Value> values) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
    CGI_LOG("sessions: %s: %s", sql, sqlite3_errmsg(db));
    return nullptr;
  }
  int index = 1;
  for (const Value& value : values) {
    if (value.is_text)
      sqlite3_bind_text(raw, index++, value.text.data(), static_cast<int>(value.text.size()),
                        SQLITE_TRANSIENT);
    else
      sqlite3_bind_int64(raw, index++, value.number);
  }
  return Stmt(raw);
}

bool exec(sqlite3* db, const char* sql, std::initializer_list<Value> values) {
  Stmt stmt = prepare(db, sql, values);
  if (!stmt) return false;
  const int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
    CGI_LOG("sessions: %s: %s", sql, sqlite3_errmsg(db));
    return false;
  }
  return true;
}

std::string column_text(sqlite3_stmt* stmt, int column) {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

bool expired(const Session& session, int64_t now) {
  return now - session.last_used >= kSessionIdleSeconds ||
         now - session.opened >= kSessionMaxSeconds;
}

void remove_expired(sqlite3* db, int64_t now) {
  exec(db, "DELETE FROM sessions WHERE last_used <= ? OR opened <= ?",
       {now - kSessionIdleSeconds, now - kSessionMaxSeconds});
}

}  // namespace

bool server_auth_enabled() {
  if (!g_enabled) {
    // A device without a settings database has the factory default (off);
    // the file is not opened, so no debug-log line says it is missing.
    const char* db = qvdb_path();
    g_enabled = access(db, F_OK) == 0 && get_param_int(db, kServerAuthParam, 0) == 1;
  }
  return *g_enabled;
}

void reset_server_auth_cache() { g_enabled.reset(); }

int64_t auth_now() {
  int64_t now = static_cast<int64_t>(time(nullptr));
  if (const char* offset = getenv("NVR_CLOCK_OFFSET"); offset && *offset) {
    char* end = nullptr;
    errno = 0;
    const long long value = strtoll(offset, &end, 10);
    if (!errno && end != offset && !*end) now += value;
  }
  return now;
}

std::optional<std::string> random_session_id() {
  std::string id;
  id.reserve(kSessionIdDigits);
  unsigned char bytes[64];
  while (id.size() < static_cast<size_t>(kSessionIdDigits)) {
    ssize_t got = getrandom(bytes, sizeof bytes, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    // 250 is a multiple of 10: bytes above it are dropped so every digit is
    // equally likely.
    for (ssize_t i = 0; i < got && id.size() < static_cast<size_t>(kSessionIdDigits); ++i)
      if (bytes[i] < 250) id.push_back(static_cast<char>('0' + bytes[i] % 10));
  }
  return id;
}

std::string cookie_session_id(std::string_view cookie) {
  // Entries are "name=value" separated by ';' and blanks; only an entry named
  // exactly "sessionId" counts.
  size_t pos = 0;
  while (pos < cookie.size()) {
    size_t end = cookie.find(';', pos);
    if (end == std::string_view::npos) end = cookie.size();
    std::string_view entry = cookie.substr(pos, end - pos);
    while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
      entry.remove_prefix(1);
    constexpr std::string_view kName = "sessionId=";
    if (entry.substr(0, kName.size()) == kName) {
      entry.remove_prefix(kName.size());
      while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t'))
        entry.remove_suffix(1);
      return std::string(entry);
    }
    pos = end + 1;
  }
  return "";
}

std::optional<std::string> session_open(int32_t account, std::string_view account_name,
                                        std::string_view address) {
  Db db = open_db(true);
  if (!db) return std::nullopt;
  const int64_t now = auth_now();
  remove_expired(db.get(), now);
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::optional<std::string> id = random_session_id();
    if (!id) {
      CGI_LOG("sessions: the kernel's random source cannot be read");
      return std::nullopt;
    }
    // An id that is taken (a chance of 1 in 10^32) is drawn again.
    if (exec(db.get(),
             "INSERT INTO sessions(id, account, name, address, opened, last_used)"
             " VALUES(?, ?, ?, ?, ?, ?)",
             {std::string_view(*id), account, account_name, address, now, now}))
      return id;
  }
  return std::nullopt;
}

std::optional<Session> session_use(std::string_view id, std::string_view address) {
  if (id.size() != static_cast<size_t>(kSessionIdDigits)) return std::nullopt;
  Db db = open_db(false);
  if (!db) return std::nullopt;
  Stmt stmt =
      prepare(db.get(),
              "SELECT account, name, address, opened, last_used FROM sessions WHERE id = ?", {id});
  if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  Session session;
  session.account = static_cast<int32_t>(sqlite3_column_int64(stmt.get(), 0));
  session.account_name = column_text(stmt.get(), 1);
  session.address = column_text(stmt.get(), 2);
  session.opened = sqlite3_column_int64(stmt.get(), 3);
  session.last_used = sqlite3_column_int64(stmt.get(), 4);
  stmt.reset();

  const int64_t now = auth_now();
  if (expired(session, now)) {
    exec(db.get(), "DELETE FROM sessions WHERE id = ?", {id});
    return std::nullopt;
  }
  // A session id seen from another address was taken from its owner.
  if (session.address != address) return std::nullopt;
  if (now > session.last_used) {
    exec(db.get(), "UPDATE sessions SET last_used = ? WHERE id = ? AND last_used < ?",
         {now, id, now});
    session.last_used = now;
  }
  return session;
}

void session_close(std::string_view id) {
  if (Db db = open_db(false)) exec(db.get(), "DELETE FROM sessions WHERE id = ?", {id});
}

void sessions_close_for_account(int32_t account) {
  if (Db db = open_db(false)) exec(db.get(), "DELETE FROM sessions WHERE account = ?", {account});
}

bool login_blocked(std::string_view address) {
  Db db = open_db(false);
  if (!db) return false;
  Stmt stmt = prepare(db.get(), "SELECT until FROM login_blocks WHERE address = ?", {address});
  return stmt && sqlite3_step(stmt.get()) == SQLITE_ROW &&
         sqlite3_column_int64(stmt.get(), 0) > auth_now();
}

void login_failed(std::string_view address) {
  Db db = open_db(true);
  if (!db) return;
  const int64_t now = auth_now();
  // One writer at a time, so that two failures at once are both counted.
  if (!exec(db.get(), "BEGIN IMMEDIATE", {})) return;
  exec(db.get(), "DELETE FROM login_failures WHERE at <= ?", {now - kLoginFailureWindowSeconds});
  exec(db.get(), "DELETE FROM login_blocks WHERE until <= ?", {now});
  exec(db.get(), "INSERT INTO login_failures(address, at) VALUES(?, ?)", {address, now});
  Stmt count =
      prepare(db.get(), "SELECT count(*) FROM login_failures WHERE address = ?", {address});
  if (count && sqlite3_step(count.get()) == SQLITE_ROW &&
      sqlite3_column_int64(count.get(), 0) >= kLoginFailureLimit) {
    count.reset();
    exec(db.get(), "INSERT OR REPLACE INTO login_blocks(address, until) VALUES(?, ?)",
         {address, now + kLoginBlockSeconds});
    exec(db.get(), "DELETE FROM login_failures WHERE address = ?", {address});
    CGI_LOG("log-in: %d failed log-ins from %.*s: refused for %d seconds", kLoginFailureLimit,
            static_cast<int>(address.size()), address.data(), static_cast<int>(kLoginBlockSeconds));
  }
  count.reset();
  exec(db.get(), "COMMIT", {});
}

void login_succeeded(std::string_view address) {
  if (Db db = open_db(false))
    exec(db.get(), "DELETE FROM login_failures WHERE address = ?", {address});
}

}  // namespace nvr::auth
