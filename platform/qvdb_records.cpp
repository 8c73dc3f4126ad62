// Descriptor-driven record access: one routine per operation serves every
// record kind, moving fields between the record's bytes and the stored JSON
// text through the descriptor's offsets.
//
// Layout: the records of every kind are rows of one table,
//   records (kind TEXT, "key", data TEXT, UNIQUE (kind, "key"))
// - kind: the descriptor's table name, or the name the caller gives instead;
// - key: the value of the record's key field (an integer, or a text for a
//   text key); NULL for kinds without a key, whose rows keep their stored
//   order (rowid);
// - data: the record as a JSON object keyed by the descriptor's column names:
//   integers as numbers (U64 as its signed 64-bit bit pattern, which is what
//   SQLite's JSON functions compare), integer arrays as arrays, doubles with
//   the digits that read back exactly ("nan", "inf", "-inf" as texts), texts
//   as strings, blobs as hex text.
// SQLite parses the whole schema on a connection's first statement; with a
// table per kind every run paid for every kind the program knows. This schema
// stays the same few tables however many kinds there are, and `sqlite3` still
// shows each field by name (json_extract(data, '$.enable')).
//
// Reads map the JSON keys they find to fields by name (letter case ignored,
// the last of two spellings wins), so a row written by an older or newer
// descriptor reads fine: a key the row lacks (or a null) leaves the caller's
// field alone. Writes merge the record into the stored object (json_patch):
// keys of fields this descriptor does not describe (another descriptor of the
// same kind wrote them) stay as they are.
#include <strings.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "frame/json.h"
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
    else if (strpbrk(f.column, "\"'\\") != nullptr)
      fault = "quote in a column name";
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

std::string kind_of(const DbRecord& desc, std::string_view table) {
  return std::string(table.empty() ? std::string_view(desc.table ? desc.table : "") : table);
}

// ---- record <-> JSON text ----------------------------------------------------------

void append_string(std::string* out, const char* text, size_t length) {
  *out += '"';
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", c);
      *out += escaped;
    } else {
      *out += static_cast<char>(c);
    }
  }
  *out += '"';
}

// The shortest of 15 or 17 digits that reads back to the same value; always
// with a point or exponent, so that it reads as a real again (also -0.0).
void append_double(std::string* out, double v) {
  if (std::isnan(v)) {
    *out += "\"nan\"";
    return;
  }
  if (std::isinf(v)) {
    *out += v < 0 ? "\"-inf\"" : "\"inf\"";
    return;
  }
  char text[40];
  snprintf(text, sizeof text, "%.15g", v);
  if (strtod(text, nullptr) != v) snprintf(text, sizeof text, "%.17g", v);
  *out += text;
  if (strpbrk(text, ".e") == nullptr) *out += ".0";
}

void append_field(std::string* out, const DbField& f, const unsigned char* p) {
  if (is_array(f)) {
    uint32_t width = db_type_width(f.type);
    *out += '[';
    for (uint32_t i = 0; i < element_count(f); ++i) {
      if (i) *out += ',';
      *out += std::to_string(load_int(f.type, p + i * width));
    }
    *out += ']';
    return;
  }
  switch (f.type) {
    case DbType::F64: {
      double v;
      memcpy(&v, p, 8);
      append_double(out, v);
      break;
    }
    case DbType::Text: {
      const char* text = reinterpret_cast<const char*>(p);
      append_string(out, text, strnlen(text, f.size));
      break;
    }
    case DbType::Blob: {
      static const char kHex[] = "0123456789abcdef";
      *out += '"';
      for (uint32_t i = 0; i < f.size; ++i) {
        *out += kHex[p[i] >> 4];
        *out += kHex[p[i] & 15];
      }
      *out += '"';
      break;
    }
    default:
      *out += std::to_string(load_int(f.type, p));
      break;
  }
}

std::string record_json(const DbRecord& desc, const unsigned char* record) {
  std::string out = "{";
  for (const DbField& f : desc.fields) {
    if (out.size() > 1) out += ',';
    append_string(&out, f.column, strlen(f.column));
    out += ':';
    append_field(&out, f, record + f.offset);
  }
  out += '}';
  return out;
}

// An integer from a stored value: a number, or a decimal text (what a person
// may have typed). U64 keeps its bit pattern, also when written unsigned.
bool stored_int(DbType type, json_object* v, int64_t* out) {
  switch (json_object_get_type(v)) {
    case json_type_int: {
      int64_t x = json_object_get_int64(v);
      if (x == INT64_MAX) {
        uint64_t u = json_object_get_uint64(v);
        memcpy(&x, &u, 8);
      }
      *out = x;
      return true;
    }
    case json_type_double: {
      double d = json_object_get_double(v);
      *out = std::isnan(d) ? 0 : d <= -9.2e18 ? INT64_MIN : d >= 9.2e18 ? INT64_MAX : int64_t(d);
      return true;
    }
    case json_type_boolean:
      *out = json_object_get_boolean(v) ? 1 : 0;
      return true;
    case json_type_string: {
      const char* text = json_object_get_string(v);
      char* end = nullptr;
      *out = type == DbType::U64 && text[0] != '-' ? static_cast<int64_t>(strtoull(text, &end, 10))
                                                   : strtoll(text, &end, 10);
      return end != text;
    }
    default:
      return false;
  }
}

bool stored_double(json_object* v, double* out) {
  if (json_object_is_type(v, json_type_double) || json_object_is_type(v, json_type_int)) {
    *out = json_object_get_double(v);
    return true;
  }
  if (!json_object_is_type(v, json_type_string)) return false;
  const char* text = json_object_get_string(v);
  char* end = nullptr;
  *out = strtod(text, &end);  // also "nan", "inf", "-inf"
  return end != text;
}

// An array kept as "1,0,1" text (as a person may write it).
void read_array_text(const DbField& f, unsigned char* p, const char* text) {
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

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void read_value(const DbField& f, json_object* v, unsigned char* record) {
  if (v == nullptr || json_object_is_type(v, json_type_null)) return;
  unsigned char* p = record + f.offset;
  if (is_array(f)) {
    uint32_t width = db_type_width(f.type);
    if (json_object_is_type(v, json_type_array)) {
      size_t n = json_object_array_length(v);
      for (uint32_t i = 0; i < element_count(f) && i < n; ++i) {
        int64_t x;
        if (stored_int(f.type, json_object_array_get_idx(v, i), &x))
          store_int(f.type, p + i * width, x);
      }
    } else if (json_object_is_type(v, json_type_string)) {
      read_array_text(f, p, json_object_get_string(v));
    }
    return;
  }
  switch (f.type) {
    case DbType::F64: {
      double d;
      if (stored_double(v, &d)) memcpy(p, &d, 8);
      break;
    }
    case DbType::Text: {
      const char* text = json_object_get_string(v);
      size_t length = json_object_is_type(v, json_type_string)
                          ? static_cast<size_t>(json_object_get_string_len(v))
                          : strlen(text);
      if (length > f.size - 1) length = f.size - 1;
      memset(p, 0, f.size);
      if (length) memcpy(p, text, length);
      break;
    }
    case DbType::Blob: {
      if (!json_object_is_type(v, json_type_string)) break;
      const char* hex = json_object_get_string(v);
      memset(p, 0, f.size);
      for (uint32_t i = 0; i < f.size; ++i) {
        int high = hex_digit(hex[2 * i]);
        int low = high < 0 ? -1 : hex_digit(hex[2 * i + 1]);
        if (low < 0) break;
        p[i] = static_cast<unsigned char>(high << 4 | low);
      }
      break;
    }
    default: {
      int64_t x;
      if (stored_int(f.type, v, &x)) store_int(f.type, p, x);
      break;
    }
  }
}

// Fills the fields whose keys the stored object holds. Keys usually come in
// field order, so the next field is tried first.
void fill_record(const DbRecord& desc, const char* text, int length, unsigned char* record,
                 const char* path) {
  nvr::Json object = nvr::json_parse(std::string_view(text ? text : "", text ? length : 0));
  if (!nvr::json_is(object.get(), json_type_object)) {
    CGI_LOG("qvdb: a record of %s in %s is not readable", desc.table, path);
    return;
  }
  size_t next = 0;
  json_object_object_foreach(object.get(), key, value) {
    const DbField* f = nullptr;
    if (next < desc.fields.size() && strcmp(desc.fields[next].column, key) == 0)
      f = &desc.fields[next];
    else
      f = field_named(desc, key);
    if (f == nullptr) continue;
    read_value(*f, value, record);
    next = static_cast<size_t>(f - desc.fields.data()) + 1;
  }
}

// ---- statements ---------------------------------------------------------------------

constexpr const char* kCreateRecords =
    "CREATE TABLE IF NOT EXISTS records (kind TEXT NOT NULL, \"key\", data TEXT NOT NULL, "
    "UNIQUE (kind, \"key\"))";

// Prepares a statement on the records table within the caller's write
// transaction; the table is made when it is missing (the first write).
int prepare_records_write(sqlite3* db, Statement* stmt, const std::string& sql) {
  int rc = stmt->prepare(db, sql);
  if (rc == SQLITE_OK || !is_missing_schema(db, rc)) return rc;
  rc = sqlite3_exec(db, kCreateRecords, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  return stmt->prepare(db, sql);
}

// The stored value of field `column` (NULL for a row that is not JSON).
std::string field_value(const char* column) {
  std::string sql = "CASE WHEN json_valid(data) THEN json_extract(data, '$.\"";
  for (const char* c = column; *c; ++c) {
    if (*c == '\'') sql += '\'';
    sql += *c;
  }
  return sql + "\"') END";
}

// The stored object with `parameter` (a record's JSON text) merged in.
std::string merged_data(const char* parameter) {
  return std::string("CASE WHEN json_valid(data) THEN json_patch(data, ") + parameter + ") ELSE " +
         parameter + " END";
}

// Binds the key of a record: its key field, NULL for a kind without a key.
void bind_record_key(sqlite3_stmt* stmt, int index, const DbField* key,
                     const unsigned char* record) {
  if (key == nullptr) {
    sqlite3_bind_null(stmt, index);
    return;
  }
  const unsigned char* p = record + key->offset;
  if (key->type == DbType::Text) {
    const char* text = reinterpret_cast<const char*>(p);
    sqlite3_bind_text(stmt, index, text, static_cast<int>(strnlen(text, key->size)),
                      SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_int64(stmt, index, load_int(key->type, p));
  }
}

// Binds a key given as a number (a text key holds its decimal text).
void bind_key(sqlite3_stmt* stmt, int index, const DbField* key, int64_t value) {
  if (key && key->type == DbType::Text) {
    std::string text = std::to_string(value);
    sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_int64(stmt, index, value);
  }
}

void bind_kind(sqlite3_stmt* stmt, const std::string& kind) {
  sqlite3_bind_text(stmt, 1, kind.c_str(), static_cast<int>(kind.size()), SQLITE_STATIC);
}

// Runs a query whose column 0 is a record's data and fills up to `max`
// records of `array` with its rows. The rows are gathered in a copy first: on
// a failure half-way (a damaged file) the caller's array stays as it was.
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
  std::vector<unsigned char> rows(desc.size * static_cast<size_t>(max));
  memcpy(rows.data(), array, rows.size());
  int n = 0;
  while (n < max && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    unsigned char* record = rows.data() + desc.size * static_cast<size_t>(n);
    fill_record(desc, reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                sqlite3_column_bytes(stmt, 0), record, path);
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

// " AND <field> = ?first AND ..." for the match columns (checked to be fields).
std::string where_match(const DbRecord& desc, std::span<const DbMatch> match, int first) {
  std::string sql;
  for (size_t i = 0; i < match.size(); ++i)
    sql += " AND " + field_value(field_named(desc, match[i].column)->column) + " = ?" +
           std::to_string(first + static_cast<int>(i));
  return sql;
}

void bind_match(sqlite3_stmt* stmt, std::span<const DbMatch> match, int first) {
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

// Statements that store whole records of one kind. Parameters: ?1 kind, ?2
// key, ?3 the record's JSON text, then the conditions of `update_where`.
class RecordWriter {
 public:
  RecordWriter(const DbRecord& desc, std::string kind)
      : desc_(desc), kind_(std::move(kind)), key_(field_named(desc, desc.key_column)) {}

  // `update_where` (conditions from ?4 on, may be empty) picks the row that
  // update() changes: the first in stored order. Null: no update statement.
  int prepare(sqlite3* db, const std::string* update_where) {
    std::string insert = "INSERT INTO records (kind, \"key\", data) VALUES (?1, ?2, ?3)";
    // A kind with a key holds one row per key: a second write merges into it.
    if (key_) insert += " ON CONFLICT (kind, \"key\") DO UPDATE SET data = " + merged_data("?3");
    int rc = prepare_records_write(db, &insert_, insert);
    if (rc != SQLITE_OK || update_where == nullptr) return rc;
    return prepare_records_write(db, &update_,
                                 "UPDATE records SET \"key\" = ?2, data = " + merged_data("?3") +
                                     " WHERE rowid = (SELECT rowid FROM records WHERE kind = ?1" +
                                     *update_where + " ORDER BY rowid LIMIT 1)");
  }

  // Changes the row update_where picks; *changed tells whether there was one.
  int update(sqlite3* db, const unsigned char* record,
             const std::function<void(sqlite3_stmt*)>& bind_where, bool* changed) {
    sqlite3_reset(update_);
    bind(update_, record);
    bind_where(update_);
    int rc = sqlite3_step(update_);
    *changed = rc == SQLITE_DONE && sqlite3_changes(db) > 0;
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

  // Adds the record (a kind with a key: stores it under its key).
  int insert(const unsigned char* record) {
    sqlite3_reset(insert_);
    bind(insert_, record);
    int rc = sqlite3_step(insert_);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

  // Stores the record in its own row: under its key, or (no key) in the
  // kind's first row.
  int store(sqlite3* db, const unsigned char* record) {
    if (key_) return insert(record);
    bool changed = false;
    int rc = update(
        db, record, [](sqlite3_stmt*) {}, &changed);
    return rc != SQLITE_OK || changed ? rc : insert(record);
  }

 private:
  void bind(sqlite3_stmt* stmt, const unsigned char* record) {
    json_ = record_json(desc_, record);
    bind_kind(stmt, kind_);
    bind_record_key(stmt, 2, key_, record);
    sqlite3_bind_text(stmt, 3, json_.c_str(), static_cast<int>(json_.size()), SQLITE_STATIC);
  }

  const DbRecord& desc_;
  std::string kind_;
  const DbField* key_;
  std::string json_;
  Statement insert_, update_;
};

// Writes `count` records, each to its own row.
int write_records(const char* path, const DbRecord& desc, const unsigned char* array, int count,
                  std::string_view table, const char* what) {
  if (path == nullptr || array == nullptr || count < 0 || !check_descriptor(desc)) return -1;
  std::string kind = kind_of(desc, table);
  if (kind.empty()) return -1;
  return write_transaction(path, what, [&](sqlite3* db) {
    RecordWriter writer(desc, kind);
    std::string first_row;  // no key: the kind's first row
    int rc = writer.prepare(db, desc.key_column ? nullptr : &first_row);
    for (int i = 0; i < count && rc == SQLITE_OK; ++i)
      rc = writer.store(db, array + desc.size * static_cast<size_t>(i));
    return rc;
  });
}

}  // namespace

// ---- reading ----------------------------------------------------------------------

int db_read(const char* path, const DbRecord& desc, void* record, int64_t key,
            std::string_view table) {
  std::lock_guard guard(lock());
  std::string kind = kind_of(desc, table);
  const DbField* key_field = field_named(desc, desc.key_column);
  std::string sql = "SELECT data FROM records WHERE kind = ?1";
  sql += desc.key_column ? " AND \"key\" = ?2" : " ORDER BY rowid LIMIT 1";
  return read_rows(
      path, desc, sql,
      [&](sqlite3_stmt* stmt) {
        bind_kind(stmt, kind);
        if (desc.key_column) bind_key(stmt, 2, key_field, key);
      },
      record, 1, nullptr);
}

int db_read_where(const char* path, const DbRecord& desc, void* record, const char* column,
                  std::string_view value, std::string_view table) {
  if (column == nullptr) return -1;
  std::lock_guard guard(lock());
  const DbField* f = field_named(desc, column);
  if (f == nullptr || is_array(*f) || f->type == DbType::Blob) return -1;  // not a stored value
  std::string kind = kind_of(desc, table);
  std::string sql = "SELECT data FROM records WHERE kind = ?1 AND " + field_value(f->column) +
                    " = ?2 ORDER BY rowid LIMIT 1";
  return read_rows(
      path, desc, sql,
      [&](sqlite3_stmt* stmt) {
        bind_kind(stmt, kind);
        // Compared as text: a number field holds the value when `value` is
        // its decimal text.
        std::string text(value);
        char* end = nullptr;
        long long number = strtoll(text.c_str(), &end, 10);
        double real = strtod(text.c_str(), &end);
        if (f->type != DbType::Text && !text.empty() && *end == '\0' && is_integer(f->type) &&
            std::to_string(number) == text)
          sqlite3_bind_int64(stmt, 2, number);
        else if (f->type == DbType::F64 && !text.empty() && *end == '\0')
          sqlite3_bind_double(stmt, 2, real);
        else
          sqlite3_bind_text(stmt, 2, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT);
      },
      record, 1, nullptr);
}

int db_read_all(const char* path, const DbRecord& desc, void* array, int max, int* count,
                std::string_view table) {
  if (count) *count = 0;
  std::lock_guard guard(lock());
  std::string kind = kind_of(desc, table);
  int n = 0;
  int rc = read_rows(
      path, desc, "SELECT data FROM records WHERE kind = ?1 ORDER BY \"key\", rowid",
      [&](sqlite3_stmt* stmt) { bind_kind(stmt, kind); }, array, max, &n);
  if (count) *count = n;
  return rc;
}

int db_read_rows(const char* path, const DbRecord& desc, void* array, int max, int* count,
                 std::span<const DbMatch> match, std::string_view table) {
  if (count) *count = 0;
  std::lock_guard guard(lock());
  if (!check_match(desc, match)) return -1;
  std::string kind = kind_of(desc, table);
  std::string sql =
      "SELECT data FROM records WHERE kind = ?1" + where_match(desc, match, 2) + " ORDER BY rowid";
  int n = 0;
  int rc = read_rows(
      path, desc, sql,
      [&](sqlite3_stmt* stmt) {
        bind_kind(stmt, kind);
        bind_match(stmt, match, 2);
      },
      array, max, &n);
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

namespace {

// Runs one DELETE on the records table; a file or table that does not exist
// holds nothing to delete (and is not created).
int delete_where(const char* path, const char* what, const std::string& sql,
                 const std::function<void(sqlite3_stmt*)>& bind) {
  return write_transaction(
      path, what,
      [&](sqlite3* db) {
        Statement stmt;
        int rc = stmt.prepare(db, sql);
        if (is_missing_schema(db, rc)) return SQLITE_OK;
        if (rc != SQLITE_OK) return rc;
        bind(stmt);
        rc = sqlite3_step(stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
      },
      false, 0);
}

}  // namespace

int db_delete(const char* path, const DbRecord& desc, int64_t key, std::string_view table) {
  std::lock_guard guard(lock());
  if (path == nullptr || desc.key_column == nullptr) return -1;
  std::string kind = kind_of(desc, table);
  const DbField* key_field = field_named(desc, desc.key_column);
  return delete_where(path, "deleting a record",
                      "DELETE FROM records WHERE kind = ?1 AND \"key\" = ?2",
                      [&](sqlite3_stmt* stmt) {
                        bind_kind(stmt, kind);
                        bind_key(stmt, 2, key_field, key);
                      });
}

int copy_table_column_int(const char* path, const char* table, const char* column, int value,
                          uint64_t channel_mask, const char* key_column) {
  if (table == nullptr || column == nullptr || key_column == nullptr || table[0] == '\0') return -1;
  if (channel_mask == 0) return 0;
  std::lock_guard guard(lock());
  std::string kind = table;
  std::string json_path = std::string("$.\"") + column + "\"";
  // A row not stored yet is made holding just the key and the column.
  const char* sql =
      "INSERT INTO records (kind, \"key\", data) VALUES (?1, ?2, json_object(?3, ?2, ?4, ?5)) "
      "ON CONFLICT (kind, \"key\") DO UPDATE SET data = CASE WHEN json_valid(data) "
      "THEN json_set(data, ?6, ?5) ELSE json_object(?3, ?2, ?4, ?5) END";
  return write_transaction(path, "copying a column", [&](sqlite3* db) {
    Statement stmt;
    int rc = prepare_records_write(db, &stmt, sql);
    for (int n = 0; n < 64 && rc == SQLITE_OK; ++n) {
      if (!(channel_mask >> n & 1)) continue;
      sqlite3_reset(stmt);
      bind_kind(stmt, kind);
      sqlite3_bind_int(stmt, 2, n);
      sqlite3_bind_text(stmt, 3, key_column, -1, SQLITE_STATIC);
      sqlite3_bind_text(stmt, 4, column, -1, SQLITE_STATIC);
      sqlite3_bind_int(stmt, 5, value);
      sqlite3_bind_text(stmt, 6, json_path.c_str(), -1, SQLITE_STATIC);
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
  std::string kind = kind_of(desc, table);
  if (kind.empty()) return -1;
  return write_transaction(path, "replacing rows", [&](sqlite3* db) {
    RecordWriter writer(desc, kind);
    int rc = writer.prepare(db, nullptr);
    if (rc != SQLITE_OK) return rc;
    Statement erase;
    rc = erase.prepare(db, "DELETE FROM records WHERE kind = ?1" + where_match(desc, match, 2));
    if (rc != SQLITE_OK) return rc;
    bind_kind(erase, kind);
    bind_match(erase, match, 2);
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
  std::string kind = kind_of(desc, table);
  if (kind.empty()) return -1;
  const unsigned char* row = static_cast<const unsigned char*>(record);
  return write_transaction(path, "writing a row", [&](sqlite3* db) {
    RecordWriter writer(desc, kind);
    // Only the first matching row changes; it keeps its place in the list.
    std::string where = where_match(desc, match, 4);
    int rc = writer.prepare(db, &where);
    if (rc != SQLITE_OK) return rc;
    bool changed = false;
    rc = writer.update(
        db, row, [&](sqlite3_stmt* stmt) { bind_match(stmt, match, 4); }, &changed);
    return rc != SQLITE_OK || changed ? rc : writer.insert(row);
  });
}

int db_delete_rows(const char* path, const DbRecord& desc, std::span<const DbMatch> match,
                   std::string_view table) {
  std::lock_guard guard(lock());
  if (path == nullptr || !check_match(desc, match)) return -1;
  std::string kind = kind_of(desc, table);
  return delete_where(path, "deleting rows",
                      "DELETE FROM records WHERE kind = ?1" + where_match(desc, match, 2),
                      [&](sqlite3_stmt* stmt) {
                        bind_kind(stmt, kind);
                        bind_match(stmt, match, 2);
                      });
}
