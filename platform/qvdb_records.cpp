// Descriptor-driven record access: one routine per operation serves every
// record kind, moving fields between the record's bytes and the table's
// columns through the descriptor's offsets.
//
// Reads select whole rows ("SELECT *") and map the columns they find by name,
// so a row written by an older or newer descriptor reads fine: a column the
// table lacks (or a NULL) leaves the caller's field alone. Writes name their
// columns; when the table or a column does not exist yet the statement fails
// to prepare, and only then is the schema created or extended.
#include <strings.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "frame/web_utils.h"
#include "platform/qvdb.h"
#include "platform/qvdb_internal.h"

using namespace qvdb_internal;

namespace qvdb_internal {

bool is_integer(DbType type) {
  return type != DbType::F64 && type != DbType::Text && type != DbType::Blob;
}

int64_t load_int(DbType type, const unsigned char* p) {
  switch (type) {
    case DbType::I8:
      return static_cast<int8_t>(*p);
    case DbType::U8:
      return *p;
    case DbType::I16: {
      int16_t v;
      memcpy(&v, p, 2);
      return v;
    }
    case DbType::U16: {
      uint16_t v;
      memcpy(&v, p, 2);
      return v;
    }
    case DbType::I32: {
      int32_t v;
      memcpy(&v, p, 4);
      return v;
    }
    case DbType::U32: {
      uint32_t v;
      memcpy(&v, p, 4);
      return v;
    }
    default: {
      int64_t v;
      memcpy(&v, p, 8);
      return v;
    }  // I64, U64 (bit pattern)
  }
}

void store_int(DbType type, unsigned char* p, int64_t value) {
  switch (db_type_width(type)) {
    case 1: {
      uint8_t v = static_cast<uint8_t>(value);
      memcpy(p, &v, 1);
      break;
    }
    case 2: {
      uint16_t v = static_cast<uint16_t>(value);
      memcpy(p, &v, 2);
      break;
    }
    case 4: {
      uint32_t v = static_cast<uint32_t>(value);
      memcpy(p, &v, 4);
      break;
    }
    default:
      memcpy(p, &value, 8);
      break;
  }
}

}  // namespace qvdb_internal

namespace {

uint32_t element_count(const DbField& f) { return f.size / db_type_width(f.type); }

bool is_array(const DbField& f) { return is_integer(f.type) && element_count(f) > 1; }

const char* sql_type(const DbField& f) {
  if (is_array(f)) return "TEXT";
  switch (f.type) {
    case DbType::F64:
      return "REAL";
    case DbType::Text:
      return "TEXT";
    case DbType::Blob:
      return "BLOB";
    default:
      return "INTEGER";
  }
}

// ---- descriptor checks (once per descriptor per process) ----------------------

bool check_descriptor(const DbRecord& desc) {
  static std::vector<const DbRecord*> checked;
  for (const DbRecord* d : checked)
    if (d == &desc) return true;
  const char* fault = nullptr;
  const char* where = "";
  bool key_found = desc.key_column == nullptr;
  for (size_t i = 0; i < desc.fields.size() && !fault; ++i) {
    const DbField& f = desc.fields[i];
    where = f.column ? f.column : "(null)";
    uint32_t width = db_type_width(f.type);
    if (f.column == nullptr || f.column[0] == '\0')
      fault = "field without a column name";
    else if (width == 0 || f.size == 0 || f.size % width != 0 ||
             (f.type == DbType::F64 && f.size != 8))
      fault = "field width does not fit its type";
    else if (uint64_t{f.offset} + f.size > desc.size)
      fault = "field lies outside the record";
    for (size_t j = 0; j < i && !fault; ++j)
      if (strcasecmp(desc.fields[j].column, f.column) == 0) fault = "column named twice";
    if (!fault && desc.key_column && strcasecmp(f.column, desc.key_column) == 0) {
      key_found = true;
      if (is_array(f) || f.type == DbType::Blob || f.type == DbType::F64)
        fault = "key column is not an integer or text";
    }
  }
  if (!fault && !key_found) fault = "key column is not a field", where = desc.key_column;
  if (fault) {
    CGI_LOG("qvdb: record of table %s: %s: %s", desc.table, fault, where);
    return false;
  }
  if (checked.size() >= 256) checked.clear();  // descriptors made on the fly
  checked.push_back(&desc);
  return true;
}

const DbField* field_named(const DbRecord& desc, const char* column) {
  if (column == nullptr) return nullptr;
  for (const DbField& f : desc.fields)
    if (strcasecmp(f.column, column) == 0) return &f;
  return nullptr;
}

std::string table_of(const DbRecord& desc, std::string_view table) {
  return std::string(table.empty() ? std::string_view(desc.table ? desc.table : "") : table);
}

ColumnList columns_of(const DbRecord& desc) {
  ColumnList columns;
  for (const DbField& f : desc.fields) columns.emplace_back(f.column, sql_type(f));
  return columns;
}

// ---- fields <-> statement values -------------------------------------------------

void bind_field(sqlite3_stmt* stmt, int index, const DbField& f, const unsigned char* record) {
  const unsigned char* p = record + f.offset;
  if (is_array(f)) {
    std::string text;
    uint32_t width = db_type_width(f.type);
    for (uint32_t i = 0; i < element_count(f); ++i) {
      if (i) text += ',';
      int64_t v = load_int(f.type, p + i * width);
      text += f.type == DbType::U64 ? std::to_string(static_cast<uint64_t>(v)) : std::to_string(v);
    }
    sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return;
  }
  switch (f.type) {
    case DbType::F64: {
      double v;
      memcpy(&v, p, 8);
      sqlite3_bind_double(stmt, index, v);
      break;
    }
    case DbType::Text: {
      const char* text = reinterpret_cast<const char*>(p);
      sqlite3_bind_text(stmt, index, text, static_cast<int>(strnlen(text, f.size)),
                        SQLITE_TRANSIENT);
      break;
    }
    case DbType::Blob:
      sqlite3_bind_blob(stmt, index, p, static_cast<int>(f.size), SQLITE_TRANSIENT);
      break;
    default:
      sqlite3_bind_int64(stmt, index, load_int(f.type, p));
      break;
  }
}

void read_array(const DbField& f, unsigned char* p, const char* text) {
  uint32_t width = db_type_width(f.type);
  for (uint32_t i = 0; i < element_count(f) && text && *text; ++i) {
    char* end = nullptr;
    int64_t v = f.type == DbType::U64 ? static_cast<int64_t>(strtoull(text, &end, 10))
                                      : strtoll(text, &end, 10);
    if (end == text) break;
    store_int(f.type, p + i * width, v);
    text = *end == ',' ? end + 1 : end;
  }
}

void read_column(sqlite3_stmt* stmt, int column, const DbField& f, unsigned char* record) {
  int kind = sqlite3_column_type(stmt, column);
  if (kind == SQLITE_NULL) return;
  unsigned char* p = record + f.offset;
  if (is_array(f)) {
    read_array(f, p, reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)));
    return;
  }
  switch (f.type) {
    case DbType::F64: {
      double v = sqlite3_column_double(stmt, column);
      memcpy(p, &v, 8);
      break;
    }
    case DbType::Text: {
      const unsigned char* text = sqlite3_column_text(stmt, column);
      size_t length = text ? static_cast<size_t>(sqlite3_column_bytes(stmt, column)) : 0;
      if (length > f.size - 1) length = f.size - 1;
      memset(p, 0, f.size);
      if (length) memcpy(p, text, length);
      break;
    }
    case DbType::Blob: {
      const void* blob = sqlite3_column_blob(stmt, column);
      size_t length = blob ? static_cast<size_t>(sqlite3_column_bytes(stmt, column)) : 0;
      if (length > f.size) length = f.size;
      memset(p, 0, f.size);
      if (length) memcpy(p, blob, length);
      break;
    }
    default:
      store_int(f.type, p, sqlite3_column_int64(stmt, column));
      break;
  }
}

// Result column i -> descriptor field (or null), by name.
std::vector<const DbField*> map_columns(sqlite3_stmt* stmt, const DbRecord& desc) {
  std::vector<const DbField*> map(static_cast<size_t>(sqlite3_column_count(stmt)));
  for (size_t i = 0; i < map.size(); ++i)
    map[i] = field_named(desc, sqlite3_column_name(stmt, static_cast<int>(i)));
  return map;
}

// Runs a query and fills up to `max` records of `array` with its rows. The
// rows are gathered in a copy first: on a failure half-way (a damaged file)
// the caller's array stays as it was.
int read_rows(const char* path, const DbRecord& desc, const std::string& sql,
              const std::function<void(sqlite3_stmt*)>& bind, void* array, int max, int* count) {
  if (path == nullptr || array == nullptr || max <= 0 || !check_descriptor(desc)) return -1;
  sqlite3* db = reader(path);
  if (db == nullptr) return -1;
  Statement stmt;
  int rc = stmt.prepare(db, sql);
  if (rc != SQLITE_OK) {
    if (!is_missing_schema(db, rc)) log_failure(db, path, "reading", rc);
    return -1;
  }
  bind(stmt);
  auto map = map_columns(stmt, desc);
  std::vector<unsigned char> rows(desc.size * static_cast<size_t>(max));
  memcpy(rows.data(), array, rows.size());
  int n = 0;
  while (n < max && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    unsigned char* record = rows.data() + desc.size * static_cast<size_t>(n);
    for (size_t i = 0; i < map.size(); ++i)
      if (map[i]) read_column(stmt, static_cast<int>(i), *map[i], record);
    ++n;
  }
  if (n < max && rc != SQLITE_DONE) {
    log_failure(db, path, "reading", rc);
    return -1;
  }
  memcpy(array, rows.data(), desc.size * static_cast<size_t>(n));
  if (count) *count = n;
  return n > 0 || count ? 0 : -1;
}

std::string where_match(std::span<const DbMatch> match) {
  std::string sql;
  for (size_t i = 0; i < match.size(); ++i) {
    sql += i ? " AND " : " WHERE ";
    sql += quote(match[i].column) + " = ?" + std::to_string(i + 1);
  }
  return sql;
}

void bind_match(sqlite3_stmt* stmt, std::span<const DbMatch> match, int first = 1) {
  for (size_t i = 0; i < match.size(); ++i) {
    int index = first + static_cast<int>(i);
    if (match[i].text)
      sqlite3_bind_text(stmt, index, match[i].text, -1, SQLITE_STATIC);
    else
      sqlite3_bind_int64(stmt, index, match[i].value);
  }
}

// Match columns must be fields of the record: integers, or texts for text values.
bool check_match(const DbRecord& desc, std::span<const DbMatch> match) {
  for (const DbMatch& m : match) {
    const DbField* f = field_named(desc, m.column);
    bool fits = f && (m.text ? f->type == DbType::Text : is_integer(f->type) && !is_array(*f));
    if (!fits) {
      CGI_LOG("qvdb: table %s: %s is not a %s column", desc.table, m.column ? m.column : "(null)",
              m.text ? "text" : "integer");
      return false;
    }
  }
  return true;
}

// Statements that store whole records into one table.
class RecordWriter {
 public:
  RecordWriter(const DbRecord& desc, std::string table)
      : desc_(desc), table_(std::move(table)), columns_(columns_of(desc)) {}

  // UPDATE ... WHERE <where>, then INSERT when no row changed.
  int prepare(sqlite3* db, const std::string& where) {
    std::string names, values, sets;
    int n = 1;
    for (const DbField& f : desc_.fields) {
      if (n > 1) names += ", ", values += ", ", sets += ", ";
      names += quote(f.column);
      values += "?" + std::to_string(n);
      sets += quote(f.column) + " = ?" + std::to_string(n);
      ++n;
    }
    first_where_parameter_ = n;
    int rc = prepare_write(
        db, &insert_, "INSERT INTO " + quote(table_) + " (" + names + ") VALUES (" + values + ")",
        table_, columns_, desc_.key_column);
    if (rc != SQLITE_OK || where.empty()) return rc;
    return prepare_write(db, &update_, "UPDATE " + quote(table_) + " SET " + sets + where, table_,
                         columns_, desc_.key_column);
  }
  int first_where_parameter() const { return first_where_parameter_; }
  sqlite3_stmt* update() { return update_; }

  // Binds the record; `bind_where` binds the WHERE parameters of the update.
  int write(sqlite3* db, const unsigned char* record,
            const std::function<void(sqlite3_stmt*)>& bind_where) {
    if (update_.get()) {
      sqlite3_reset(update_);
      bind_all(update_, record);
      bind_where(update_);
      int rc = sqlite3_step(update_);
      if (rc != SQLITE_DONE) return rc;
      if (sqlite3_changes(db) > 0) return SQLITE_OK;
    }
    sqlite3_reset(insert_);
    bind_all(insert_, record);
    int rc = sqlite3_step(insert_);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

  int insert(const unsigned char* record) {
    sqlite3_reset(insert_);
    bind_all(insert_, record);
    int rc = sqlite3_step(insert_);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

 private:
  void bind_all(sqlite3_stmt* stmt, const unsigned char* record) {
    int n = 1;
    for (const DbField& f : desc_.fields) bind_field(stmt, n++, f, record);
  }

  const DbRecord& desc_;
  std::string table_;
  ColumnList columns_;
  Statement insert_, update_;
  int first_where_parameter_ = 1;
};

// The WHERE clause that addresses a record's own row.
std::string where_own_row(const DbRecord& desc, int parameter) {
  if (desc.key_column == nullptr) return " WHERE rowid = 1";
  return " WHERE " + std::string(quote(desc.key_column)) + " = ?" + std::to_string(parameter);
}

// Writes `count` records, each to the row of its own key.
int write_records(const char* path, const DbRecord& desc, const unsigned char* array, int count,
                  std::string_view table, const char* what) {
  if (path == nullptr || array == nullptr || count < 0 || !check_descriptor(desc)) return -1;
  const DbField* key = field_named(desc, desc.key_column);
  return write_transaction(path, what, [&](sqlite3* db) {
    RecordWriter writer(desc, table_of(desc, table));
    int rc = writer.prepare(db, where_own_row(desc, static_cast<int>(desc.fields.size()) + 1));
    for (int i = 0; i < count && rc == SQLITE_OK; ++i) {
      const unsigned char* record = array + desc.size * static_cast<size_t>(i);
      rc = writer.write(db, record, [&](sqlite3_stmt* stmt) {
        if (key) bind_field(stmt, writer.first_where_parameter(), *key, record);
      });
      // A table without a key holds one row: the first insert makes it row 1.
    }
    return rc;
  });
}

}  // namespace

// ---- reading ----------------------------------------------------------------------

int db_read(const char* path, const DbRecord& desc, void* record, int64_t key,
            std::string_view table) {
  std::lock_guard guard(lock());
  std::string sql = "SELECT * FROM " + quote(table_of(desc, table));
  sql += desc.key_column ? " WHERE " + quote(desc.key_column) + " = ?1" : " ORDER BY rowid";
  sql += " LIMIT 1";
  return read_rows(
      path, desc, sql,
      [&](sqlite3_stmt* stmt) {
        if (desc.key_column) sqlite3_bind_int64(stmt, 1, key);
      },
      record, 1, nullptr);
}

int db_read_where(const char* path, const DbRecord& desc, void* record, const char* column,
                  std::string_view value, std::string_view table) {
  if (column == nullptr) return -1;
  std::lock_guard guard(lock());
  std::string sql = "SELECT * FROM " + quote(table_of(desc, table)) + " WHERE " + quote(column) +
                    " = ?1 ORDER BY rowid LIMIT 1";
  return read_rows(
      path, desc, sql,
      [&](sqlite3_stmt* stmt) {
        sqlite3_bind_text(stmt, 1, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
      },
      record, 1, nullptr);
}

int db_read_all(const char* path, const DbRecord& desc, void* array, int max, int* count,
                std::string_view table) {
  if (count) *count = 0;
  std::lock_guard guard(lock());
  std::string sql = "SELECT * FROM " + quote(table_of(desc, table)) + " ORDER BY " +
                    (desc.key_column ? quote(desc.key_column) : std::string("rowid"));
  int n = 0;
  int rc = read_rows(
      path, desc, sql, [](sqlite3_stmt*) {}, array, max, &n);
  if (count) *count = n;
  return rc;
}

int db_read_rows(const char* path, const DbRecord& desc, void* array, int max, int* count,
                 std::span<const DbMatch> match, std::string_view table) {
  if (count) *count = 0;
  std::lock_guard guard(lock());
  if (!check_match(desc, match)) return -1;
  std::string sql =
      "SELECT * FROM " + quote(table_of(desc, table)) + where_match(match) + " ORDER BY rowid";
  int n = 0;
  int rc = read_rows(
      path, desc, sql, [&](sqlite3_stmt* stmt) { bind_match(stmt, match); }, array, max, &n);
  if (count) *count = n;
  return rc;
}

// ---- writing ----------------------------------------------------------------------

int db_write(const char* path, const DbRecord& desc, const void* record, std::string_view table) {
  std::lock_guard guard(lock());
  return write_records(path, desc, static_cast<const unsigned char*>(record), 1, table,
                       "writing a record");
}

int db_write_all(const char* path, const DbRecord& desc, const void* array, int count,
                 std::string_view table) {
  std::lock_guard guard(lock());
  return write_records(path, desc, static_cast<const unsigned char*>(array), count, table,
                       "writing records");
}

int db_copy_masked(const char* path, const DbRecord& desc, const void* source,
                   uint64_t channel_mask, std::string_view table) {
  std::lock_guard guard(lock());
  if (source == nullptr || !check_descriptor(desc)) return -1;
  const DbField* key = field_named(desc, desc.key_column);
  if (key == nullptr || !is_integer(key->type)) {
    CGI_LOG("qvdb: table %s has no integer key to copy by", desc.table);
    return -1;
  }
  std::vector<unsigned char> copies;
  for (int n = 0; n < 64; ++n) {
    if (!(channel_mask >> n & 1)) continue;
    size_t at = copies.size();
    copies.insert(copies.end(), static_cast<const unsigned char*>(source),
                  static_cast<const unsigned char*>(source) + desc.size);
    store_int(key->type, copies.data() + at + key->offset, n);
  }
  if (copies.empty()) return 0;
  return write_records(path, desc, copies.data(), static_cast<int>(copies.size() / desc.size),
                       table, "copying a record");
}

int db_delete(const char* path, const DbRecord& desc, int64_t key, std::string_view table) {
  std::lock_guard guard(lock());
  if (path == nullptr || desc.key_column == nullptr) return -1;
  std::string sql =
      "DELETE FROM " + quote(table_of(desc, table)) + " WHERE " + quote(desc.key_column) + " = ?1";
  return write_transaction(
      path, "deleting a record",
      [&](sqlite3* db) {
        Statement stmt;
        int rc = stmt.prepare(db, sql);
        if (is_missing_schema(db, rc)) return SQLITE_OK;  // nothing stored, nothing to delete
        if (rc != SQLITE_OK) return rc;
        sqlite3_bind_int64(stmt, 1, key);
        rc = sqlite3_step(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
      },
      false, 0);
}

int copy_table_column_int(const char* path, const char* table, const char* column, int value,
                          uint64_t channel_mask, const char* key_column) {
  if (table == nullptr || column == nullptr || key_column == nullptr) return -1;
  if (channel_mask == 0) return 0;
  std::lock_guard guard(lock());
  ColumnList columns = {{key_column, "INTEGER"}, {column, "INTEGER"}};
  std::string sql = "INSERT INTO " + quote(table) + " (" + quote(key_column) + ", " +
                    quote(column) + ") VALUES (?1, ?2) ON CONFLICT(" + quote(key_column) +
                    ") DO UPDATE SET " + quote(column) + " = excluded." + quote(column);
  return write_transaction(path, "copying a column", [&](sqlite3* db) {
    Statement stmt;
    int rc = prepare_write(db, &stmt, sql, table, columns, key_column);
    for (int n = 0; n < 64 && rc == SQLITE_OK; ++n) {
      if (!(channel_mask >> n & 1)) continue;
      sqlite3_reset(stmt);
      sqlite3_bind_int(stmt, 1, n);
      sqlite3_bind_int(stmt, 2, value);
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    return rc;
  });
}

// ---- lists of rows ----------------------------------------------------------------

namespace {

// A copy of `record` with the match values in its match columns.
std::vector<unsigned char> with_match(const DbRecord& desc, const unsigned char* record,
                                      std::span<const DbMatch> match) {
  std::vector<unsigned char> copy(record, record + desc.size);
  for (const DbMatch& m : match) {
    const DbField* f = field_named(desc, m.column);
    unsigned char* p = copy.data() + f->offset;
    if (m.text) {
      memset(p, 0, f->size);
      memcpy(p, m.text, strnlen(m.text, f->size - 1));
    } else {
      store_int(f->type, p, m.value);
    }
  }
  return copy;
}

}  // namespace

int db_replace_rows(const char* path, const DbRecord& desc, std::span<const DbMatch> match,
                    const void* array, int count, std::string_view table) {
  std::lock_guard guard(lock());
  if (path == nullptr || (array == nullptr && count > 0) || count < 0 || !check_descriptor(desc) ||
      !check_match(desc, match))
    return -1;
  std::string name = table_of(desc, table);
  return write_transaction(path, "replacing rows", [&](sqlite3* db) {
    RecordWriter writer(desc, name);
    int rc = writer.prepare(db, "");
    if (rc != SQLITE_OK) return rc;
    Statement erase;
    rc = erase.prepare(db, "DELETE FROM " + quote(name) + where_match(match));
    if (rc != SQLITE_OK) return rc;
    bind_match(erase, match);
    rc = sqlite3_step(erase);
    if (rc != SQLITE_DONE) return rc;
    rc = SQLITE_OK;
    for (int i = 0; i < count && rc == SQLITE_OK; ++i) {
      auto row = with_match(desc, static_cast<const unsigned char*>(array) + desc.size * i, match);
      rc = writer.insert(row.data());
    }
    return rc;
  });
}

int db_upsert_row(const char* path, const DbRecord& desc, std::span<const DbMatch> match,
                  const void* record, std::string_view table) {
  std::lock_guard guard(lock());
  if (path == nullptr || record == nullptr || match.empty() || !check_descriptor(desc) ||
      !check_match(desc, match))
    return -1;
  std::string name = table_of(desc, table);
  const unsigned char* row = static_cast<const unsigned char*>(record);
  return write_transaction(path, "writing a row", [&](sqlite3* db) {
    RecordWriter writer(desc, name);
    // Only the first matching row changes (rowid = the smallest that matches).
    int first = static_cast<int>(desc.fields.size()) + 1;
    std::string where = " WHERE rowid = (SELECT rowid FROM " + quote(name);
    for (size_t i = 0; i < match.size(); ++i)
      where += (i ? " AND " : " WHERE ") + quote(match[i].column) + " = ?" +
               std::to_string(first + static_cast<int>(i));
    where += " ORDER BY rowid LIMIT 1)";
    int rc = writer.prepare(db, where);
    if (rc != SQLITE_OK) return rc;
    return writer.write(db, row, [&](sqlite3_stmt* stmt) { bind_match(stmt, match, first); });
  });
}

int db_delete_rows(const char* path, const DbRecord& desc, std::span<const DbMatch> match,
                   std::string_view table) {
  std::lock_guard guard(lock());
  if (path == nullptr || !check_match(desc, match)) return -1;
  std::string sql = "DELETE FROM " + quote(table_of(desc, table)) + where_match(match);
  return write_transaction(
      path, "deleting rows",
      [&](sqlite3* db) {
        Statement stmt;
        int rc = stmt.prepare(db, sql);
        if (is_missing_schema(db, rc)) return SQLITE_OK;
        if (rc != SQLITE_OK) return rc;
        bind_match(stmt, match);
        rc = sqlite3_step(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
      },
      false, 0);
}
