// Configuration database: connections, transactions and key/value parameters.
//
// A CGI run is a short process; many of them run at once, and the core daemon
// may hold the same files. So:
// - one connection per file per process, opened on first use and kept until
//   exit (a run opens each file at most once);
// - a read opens an existing file only and never writes to it; a missing file
//   reads as "not stored";
// - the files are in WAL mode: readers never wait for a writer, and writers
//   queue on the busy timeout instead of failing;
// - every write is one BEGIN IMMEDIATE transaction: the write lock is taken up
//   front, so a transaction never fails half-way for a lock another process holds;
// - synchronous=FULL: in WAL mode this syncs the log at every commit. NORMAL
//   would sync only at checkpoints and may lose the last commits on a power
//   cut, after the browser was told "OK". One fsync per change is the price;
// - the write-ahead log stays in place across runs (persistent WAL, no
//   checkpoint when a connection closes). Otherwise the last connection of
//   each run would checkpoint, sync the database file and delete the log:
//   about a millisecond more per write run. The log must still be emptied
//   now and then: the first connection of each run rebuilds the log's index by
//   reading the whole log, and it cannot know which frames an earlier run had
//   already copied back, so a log that is only checkpointed (not emptied)
//   keeps growing and every run reads and re-copies all of it. So once the log
//   holds kCheckpointFrames frames, the committing run copies it back and
//   truncates it (one run in about kCheckpointFrames writes pays for that).
#include "platform/qvdb.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "frame/web_utils.h"
#include "platform/qvdb_internal.h"

namespace qvdb_internal {
namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr int kCheckpointFrames = 32;
constexpr int kCheckpointBusyMs = 200;

struct Connection {
  std::string path;
  sqlite3* db = nullptr;
  bool writer_ready = false;  // WAL and write pragmas applied
  int batch_depth = 0;        // > 0 while a DbBatch holds a transaction open
  bool batch_failed = false;
};

struct Cache {
  pid_t pid = 0;
  std::vector<std::unique_ptr<Connection>> connections;
  ~Cache() {
    // Same process only: a forked child must not close its parent's handles.
    if (pid != getpid()) return;
    for (auto& c : connections) sqlite3_close_v2(c->db);
  }
};

Cache& cache() {
  static Cache instance;
  // A child forked after the parent opened connections may not use them
  // (SQLite handles do not survive fork): start afresh, leaving the parent's alone.
  if (instance.pid != getpid()) {
    for (auto& c : instance.connections) (void)c.release();
    instance.connections.clear();
    instance.pid = getpid();
  }
  return instance;
}

bool file_exists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

void configure(sqlite3* db) {
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  int persist = 1;
  sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
}

Connection* find(const char* path) {
  for (auto& c : cache().connections)
    if (c->path == path) return c.get();
  return nullptr;
}

// The file system layer: SQLite's own, except that a write-ahead log that
// already exists is opened without O_CREAT. SQLite syncs the folder after the
// first commit of every process that opens the log "for creation"; the log is
// kept between runs, so that would be a second sync in every write run.
sqlite3_vfs* base_vfs = nullptr;
sqlite3_vfs kept_log_vfs;
constexpr const char* kVfsName = "nvr-kept-log";

int open_file(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  if ((flags & SQLITE_OPEN_WAL) && (flags & SQLITE_OPEN_CREATE) && name &&
      access(name, F_OK) == 0) {
    int rc = base_vfs->xOpen(base_vfs, name, file, flags & ~SQLITE_OPEN_CREATE, out_flags);
    if (rc == SQLITE_OK) return rc;  // else it was removed meanwhile: create it
  }
  return base_vfs->xOpen(base_vfs, name, file, flags, out_flags);
}

// A run is short and touches a handful of pages: what costs is memory that is
// touched for the first time (each new page is a page fault). SQLite's
// defaults prepare for long-lived connections: a 120 KB lookaside area and a
// bulk page-cache allocation, both written through when a connection opens.
// Small ones halve the page faults of a run that reads one record.
void configure_library() {
  static bool done = false;
  if (done) return;
  done = true;
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 128, 32);
  sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
  base_vfs = sqlite3_vfs_find(nullptr);
  if (base_vfs) {
    kept_log_vfs = *base_vfs;
    kept_log_vfs.zName = kVfsName;
    kept_log_vfs.xOpen = open_file;
    sqlite3_vfs_register(&kept_log_vfs, 0);
  }
}

// A file on a read-only medium (flash mounted read-only after a fault):
// nothing can change it, and its write-ahead log index cannot be made there,
// so it is opened as immutable and still reads what is stored.
bool on_read_only_medium(const char* path) {
  struct statvfs medium;
  return statvfs(path, &medium) == 0 && (medium.f_flag & ST_RDONLY) != 0;
}

std::string immutable_uri(const char* path) {
  std::string uri = "file:";
  for (const char* p = path; *p; ++p) {
    if (*p == '%' || *p == '?' || *p == '#') {
      char escaped[4];
      snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(*p));
      uri += escaped;
    } else {
      uri += *p;
    }
  }
  return uri + "?immutable=1";
}

Connection* open_connection(const char* path, bool create) {
  if (Connection* c = find(path)) return c;
  configure_library();
  if (!create && !file_exists(path)) return nullptr;
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  const char* vfs = base_vfs ? kVfsName : nullptr;
  int rc = on_read_only_medium(path) ? sqlite3_open_v2(immutable_uri(path).c_str(), &db,
                                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, vfs)
                                     : sqlite3_open_v2(path, &db, flags, vfs);
  if (rc != SQLITE_OK && !create) {
    // A file we may not write (read-only medium) can still be read.
    sqlite3_close_v2(db);
    db = nullptr;
    rc = sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, vfs);
  }
  if (rc != SQLITE_OK) {
    CGI_LOG("qvdb: cannot open %s: %s", path, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return nullptr;
  }
  configure(db);
  auto connection = std::make_unique<Connection>();
  connection->path = path;
  connection->db = db;
  cache().connections.push_back(std::move(connection));
  return cache().connections.back().get();
}

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

bool is_busy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

void pause_briefly() {
  struct timespec pause = {0, 2 * 1000 * 1000};
  nanosleep(&pause, nullptr);
}

int64_t now_ms() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Called after each commit with the number of frames in the log.
int checkpoint_when_long(void*, sqlite3* db, const char* schema, int frames) {
  if (frames < kCheckpointFrames) return SQLITE_OK;
  // Readers and writers of other runs hold the log only briefly; when they
  // do not let go soon, a later run empties it instead.
  sqlite3_busy_timeout(db, kCheckpointBusyMs);
  int rc = sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (rc != SQLITE_OK && !is_busy(rc))
    CGI_LOG("qvdb: checkpoint of %s failed: %s", sqlite3_db_filename(db, schema),
            sqlite3_errmsg(db));
  return SQLITE_OK;
}

// WAL mode is a property of the file (set once, kept); the other settings
// belong to the connection and are only needed by writers.
int prepare_writer(Connection* c) {
  if (c->writer_ready) return SQLITE_OK;
  int64_t deadline = now_ms() + kBusyTimeoutMs;
  for (;;) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(c->db, "PRAGMA journal_mode=WAL", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    bool wal = rc == SQLITE_ROW &&
               strcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal") == 0;
    sqlite3_finalize(stmt);
    if (wal) break;
    if (rc == SQLITE_ROW || !is_busy(rc) || now_ms() > deadline) {
      // Not fatal: the file still works with a rollback journal.
      if (rc != SQLITE_ROW) return rc;
      CGI_LOG("qvdb: %s stays in rollback-journal mode", c->path.c_str());
      break;
    }
    pause_briefly();
  }
  sqlite3_wal_hook(c->db, checkpoint_when_long, nullptr);
  int rc = exec(c->db, "PRAGMA synchronous=FULL");
  if (rc == SQLITE_OK) c->writer_ready = true;
  return rc;
}

}  // namespace

std::recursive_mutex& lock() {
  static std::recursive_mutex mutex;
  return mutex;
}

sqlite3* reader(const char* path) {
  if (path == nullptr) return nullptr;
  Connection* c = open_connection(path, false);
  return c ? c->db : nullptr;
}

void log_failure(sqlite3* db, const char* path, const char* what, int rc) {
  CGI_LOG("qvdb: %s on %s failed: %s (%d)", what, path ? path : "(null)",
          db ? sqlite3_errmsg(db) : sqlite3_errstr(rc), rc);
}

bool is_missing_schema(sqlite3* db, int rc) {
  if ((rc & 0xff) != SQLITE_ERROR || db == nullptr) return false;
  const char* message = sqlite3_errmsg(db);
  return strncmp(message, "no such table", 13) == 0 || strncmp(message, "no such column", 14) == 0;
}

namespace {

// Begins an IMMEDIATE transaction on `c`, waiting for the write lock: the busy
// timeout covers the usual wait; the loop also covers the busy results that
// SQLite returns without waiting.
int begin_write(Connection* c, const char* what) {
  int rc = prepare_writer(c);
  int64_t deadline = now_ms() + kBusyTimeoutMs;
  while (rc == SQLITE_OK) {
    rc = exec(c->db, "BEGIN IMMEDIATE");
    if (!is_busy(rc) || now_ms() > deadline) break;
    pause_briefly();
  }
  if (rc != SQLITE_OK) log_failure(c->db, c->path.c_str(), what, rc);
  return rc;
}

}  // namespace

int write_transaction(const char* path, const char* what, const std::function<int(sqlite3*)>& body,
                      bool create, int missing_result) {
  if (path == nullptr) return -1;
  if (!create && !file_exists(path) && find(path) == nullptr) return missing_result;
  Connection* c = open_connection(path, true);
  if (c == nullptr) return -1;
  if (c->batch_depth > 0) {
    // Part of a batch: its transaction is open; a failure spoils the batch.
    int rc = body(c->db);
    if (rc == SQLITE_OK) return 0;
    log_failure(c->db, path, what, rc);
    c->batch_failed = true;
    return -1;
  }
  if (begin_write(c, what) != SQLITE_OK) return -1;
  int rc = body(c->db);
  if (rc == SQLITE_OK) rc = exec(c->db, "COMMIT");
  if (rc == SQLITE_OK) return 0;
  log_failure(c->db, path, what, rc);
  if (!sqlite3_get_autocommit(c->db)) exec(c->db, "ROLLBACK");
  return -1;
}

std::string quote(std::string_view name) {
  std::string quoted = "\"";
  for (char ch : name) {
    if (ch == '"') quoted += '"';
    quoted += ch;
  }
  quoted += '"';
  return quoted;
}

int ensure_table(sqlite3* db, std::string_view table, const ColumnList& columns,
                 const char* key_column, bool* changed) {
  *changed = false;
  std::vector<std::string> existing;
  {
    Statement info;
    int rc = info.prepare(db, "SELECT name FROM pragma_table_info(?1)");
    if (rc != SQLITE_OK) return rc;
    sqlite3_bind_text(info, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
    while ((rc = sqlite3_step(info)) == SQLITE_ROW)
      existing.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
    if (rc != SQLITE_DONE) return rc;
  }
  auto has = [&](const std::string& name) {
    for (const auto& e : existing)
      if (strcasecmp(e.c_str(), name.c_str()) == 0) return true;
    return false;
  };
  std::string sql;
  if (existing.empty()) {
    bool composite = key_column && strchr(key_column, ',');
    sql = "CREATE TABLE " + quote(table) + " (";
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) sql += ", ";
      sql += quote(columns[i].first) + " " + columns[i].second;
      if (key_column && !composite && strcasecmp(columns[i].first.c_str(), key_column) == 0)
        sql += " PRIMARY KEY";
    }
    if (composite) sql += std::string(", PRIMARY KEY (") + key_column + ")";
    sql += ")";
  } else {
    for (const auto& [name, type] : columns)
      if (!has(name))
        sql += "ALTER TABLE " + quote(table) + " ADD COLUMN " + quote(name) + " " + type + ";";
  }
  if (sql.empty()) return SQLITE_OK;
  int rc = exec(db, sql.c_str());
  if (rc == SQLITE_OK) *changed = true;
  return rc;
}

int prepare_write(sqlite3* db, Statement* stmt, const std::string& sql, std::string_view table,
                  const ColumnList& columns, const char* key_column) {
  int rc = stmt->prepare(db, sql);
  if (rc == SQLITE_OK) return rc;
  bool changed = false;
  int schema_rc = ensure_table(db, table, columns, key_column, &changed);
  if (schema_rc != SQLITE_OK) return schema_rc;
  if (!changed) return rc;
  return stmt->prepare(db, sql);
}

}  // namespace qvdb_internal

using namespace qvdb_internal;

void db_field_size_does_not_fit_type() {}

DbBatch::DbBatch(const char* path) : path_(path) {
  lock().lock();
  Connection* c = path ? open_connection(path, true) : nullptr;
  if (c == nullptr) return;
  if (c->batch_depth > 0) {
    ++c->batch_depth;
    open_ = true;
  } else if (begin_write(c, "starting a batch") == SQLITE_OK) {
    c->batch_depth = 1;
    c->batch_failed = false;
    open_ = true;
  }
}

int DbBatch::commit() {
  if (!open_) return -1;
  open_ = false;
  Connection* c = find(path_);
  if (c == nullptr) return -1;
  if (--c->batch_depth > 0) return c->batch_failed ? -1 : 0;
  if (c->batch_failed) {
    exec(c->db, "ROLLBACK");
    return -1;
  }
  int rc = exec(c->db, "COMMIT");
  if (rc != SQLITE_OK) {
    log_failure(c->db, path_, "committing a batch", rc);
    if (!sqlite3_get_autocommit(c->db)) exec(c->db, "ROLLBACK");
    return -1;
  }
  return 0;
}

DbBatch::~DbBatch() {
  if (open_) {
    Connection* c = find(path_);
    if (c) {
      c->batch_failed = true;
      if (--c->batch_depth == 0) exec(c->db, "ROLLBACK");
    }
  }
  lock().unlock();
}

void qvdb_close_all() {
  std::lock_guard guard(lock());
  auto& connections = cache().connections;
  for (auto& c : connections) sqlite3_close_v2(c->db);
  connections.clear();
}

int qvdb_list_tables(const char* path, void (*each)(const char* table, void* context),
                     void* context) {
  std::lock_guard guard(lock());
  sqlite3* db = reader(path);
  if (db == nullptr) return -1;
  // The record kinds, and the tables other than the one holding the records
  // (parameters, schedules; a file of an older layout shows its tables).
  std::vector<std::string> names;
  bool has_records = false;
  auto collect = [&](const char* sql, bool tables) {
    Statement stmt;
    int rc = stmt.prepare(db, sql);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      const char* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      if (tables && strcmp(name, "records") == 0)
        has_records = true;
      else
        names.emplace_back(name);
      rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE) log_failure(db, path, "listing tables", rc);
    return rc == SQLITE_DONE;
  };
  if (!collect("SELECT name FROM sqlite_schema WHERE type='table'", true)) return -1;
  if (has_records && !collect("SELECT DISTINCT kind FROM records", false)) return -1;
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (const std::string& name : names) each(name.c_str(), context);
  return 0;
}

// ---- key/value parameters -------------------------------------------------------
// Table "params": one row per key; the value keeps the type it was stored
// with (an integer from set_param_int, a text otherwise).

namespace {

constexpr const char* kParamTable = "params";

const ParamDefault kParamDefaults[] = {
    {"max_cameras", "32", true},
    {"alarm_in", "16", true},
    {"alarm_out", "4", true},
    {"max_poe_num", "0", true},
    {"group_mode", "0", true},
    {"raidmode", "0", true},
    {"software_version", "7x.7.0.9", false},
    {"hardware_version", "V1.1", false},
    {"plugin_version", "1.0", false},
    {"deviceid", "255", false},
    {"company", "Vantrell", false},
    {"model", "", false},
    {"wizard_enable", "0", false},
    {"hide_taskbar", "0", false},
    {"display_mode", "0", false},
    {"hdmihotplug", "1", false},
    {"homologous", "1", true},
    {"pushmsg_alarmin_type", "65535", true},
    {"poepsd", "kt5827", false},
    {"httpsenable", "0", true},
    {"oem_type", "0", true},
    {"esata_type", "0", true},
    {"failover_mode", "0", true},
    {"server_auth", "0", true},  // 1: sessions and permissions checked by the program
    {"same_channel_exist", "0", true},
    {"ch_access", "0", true},
    {"access_filter_enable", "0", true},
    {"enable_push_msg", "0", true},
    {"video_push_stream", "0", true},
    {"transport_protocol", "0", true},
    {"stream_information", "0", true},
    {"oemupdateonline", "0", true},
    {"qvfs_dbup", "0", true},
};

const ParamDefault* find_default(const char* key) {
  if (key == nullptr) return nullptr;
  for (const auto& d : kParamDefaults)
    if (strcmp(d.key, key) == 0) return &d;
  return nullptr;
}

// Prepares the lookup of `key`; false when the file or the table is missing.
bool lookup_param(const char* path, const char* key, Statement* stmt) {
  sqlite3* db = reader(path);
  if (db == nullptr || key == nullptr) return false;
  int rc = stmt->prepare(db, "SELECT value FROM params WHERE key = ?1");
  if (rc != SQLITE_OK) {
    if (!is_missing_schema(db, rc)) log_failure(db, path, "reading a parameter", rc);
    return false;
  }
  sqlite3_bind_text(*stmt, 1, key, -1, SQLITE_STATIC);
  rc = sqlite3_step(*stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) log_failure(db, path, "reading a parameter", rc);
  return false;
}

int store_param(const char* path, const char* key, const std::function<void(sqlite3_stmt*)>& bind) {
  if (key == nullptr) return -1;
  static const ColumnList columns = {{"key", "TEXT"}, {"value", ""}};
  return write_transaction(path, "storing a parameter", [&](sqlite3* db) {
    Statement stmt;
    int rc = prepare_write(db, &stmt,
                           "INSERT INTO params(key, value) VALUES(?1, ?2) "
                           "ON CONFLICT(key) DO UPDATE SET value = excluded.value",
                           kParamTable, columns, "key");
    if (rc != SQLITE_OK) return rc;
    sqlite3_bind_text(stmt, 1, key, -1, SQLITE_STATIC);
    bind(stmt);
    rc = sqlite3_step(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  });
}

}  // namespace

std::span<const ParamDefault> param_defaults() { return kParamDefaults; }

int param_default_int(const char* key, int fallback) {
  const ParamDefault* d = find_default(key);
  return d ? atoi(d->value) : fallback;
}

const char* param_default_text(const char* key, const char* fallback) {
  const ParamDefault* d = find_default(key);
  return d ? d->value : fallback;
}

int get_param_int(const char* path, const char* key, int default_value) {
  std::lock_guard guard(lock());
  Statement stmt;
  if (!lookup_param(path, key, &stmt)) return default_value;
  switch (sqlite3_column_type(stmt, 0)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      int64_t value = sqlite3_column_int64(stmt, 0);
      return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : int(value);
    }
    case SQLITE_TEXT: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      // Decimal only: a stored "010" or "08" is ten or eight, as atoi reads it.
      char* end = nullptr;
      long long value = strtoll(text, &end, 10);
      if (end == text) return default_value;
      return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : int(value);
    }
    default:
      return default_value;
  }
}

int get_param_value(const char* path, const char* key, char* buffer, int size,
                    const char* default_value) {
  if (buffer == nullptr || size <= 0) return -1;
  std::lock_guard guard(lock());
  Statement stmt;
  const char* text = default_value ? default_value : "";
  size_t length = strlen(text);
  bool stored = lookup_param(path, key, &stmt) && sqlite3_column_type(stmt, 0) != SQLITE_NULL;
  if (stored) {
    text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    length = static_cast<size_t>(sqlite3_column_bytes(stmt, 0));
    length = strnlen(text, length);
  }
  if (length > static_cast<size_t>(size) - 1) length = static_cast<size_t>(size) - 1;
  memcpy(buffer, text, length);
  buffer[length] = '\0';
  return stored ? 0 : -1;
}

int set_param_int(const char* path, const char* key, int value) {
  std::lock_guard guard(lock());
  return store_param(path, key, [&](sqlite3_stmt* stmt) { sqlite3_bind_int(stmt, 2, value); });
}

int set_param_value(const char* path, const char* key, const char* text) {
  std::lock_guard guard(lock());
  return store_param(path, key, [&](sqlite3_stmt* stmt) {
    sqlite3_bind_text(stmt, 2, text ? text : "", -1, SQLITE_STATIC);
  });
}

int add_param_value(const char* path, const char* key, const char* text) {
  return set_param_value(path, key, text);
}

int check_param_key(const char* path, const char* key) {
  std::lock_guard guard(lock());
  Statement stmt;
  return lookup_param(path, key, &stmt) ? 0 : -1;
}
