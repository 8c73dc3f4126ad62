// Configuration database: key/value parameters and descriptor-driven records
// over SQLite. Every call takes the database file's real path first
// (nvr::qvdb_path(), nvr::anpr_db_path(), nvr::oem_db_path()).
//
// Reads of a missing file, table or row leave the caller's record unchanged
// and return -1; handlers clear records before reading and do not have to
// branch on the result. A read never creates or changes the file. Writes
// create what they need (file, table, columns) and return 0 once the change
// is durable; -1 when it could not be stored (the debug log says why).
//
// A record kind is described once (DbRecord: table, key column, fields); the
// same descriptor gives its stored keys (column names) and its JSON keys:
//
//   struct Motion { int32_t chnid; int32_t enable; char triChannels[65]; uint64_t mask; };
//   constexpr DbField kMotionFields[] = {
//       DB_FIELD(Motion, chnid, "chnid", DbType::I32),
//       DB_FIELD(Motion, enable, "enable", DbType::I32),
//       DB_FIELD(Motion, triChannels, "triChannels", DbType::Text),
//       DB_FIELD_J(Motion, mask, "tri_channel_mask", DbType::U64, ""),  // not in JSON
//   };
//   constexpr DbRecord kMotion{"motion", "chnid", sizeof(Motion), kMotionFields};
//   int read_motion(const char* path, Motion* m, int chn) {
//     return db_read(path, kMotion, m, chn);
//   }
//   int write_motion(const char* path, const Motion* m) { return db_write(path, kMotion, m); }
//
// Column names are compared without regard to letter case (as SQLite does):
// two fields of one record may not differ only in case ("localLiveView" and
// "localliveview" need distinct column names; the JSON key may still differ
// only in case through DB_FIELD_J).
//
// Concurrency and durability: every file is used in WAL mode with a busy
// timeout; each write is one IMMEDIATE transaction committed with
// synchronous=FULL, so many CGI processes may read and write at once and a
// change that was answered "OK" survives a power cut.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// ---- key/value parameters -------------------------------------------------------

// The stored integer of `key`, or `default_value` when the file, the key or a
// number in its value is missing.
int get_param_int(const char* path, const char* key, int default_value);
// Copies the stored text (or `default_value` when not stored) into buffer[size],
// bounded and NUL-terminated. 0 when the key was stored, -1 otherwise.
int get_param_value(const char* path, const char* key, char* buffer, int size,
                    const char* default_value);
// Store a key's value; the key is created when missing (a change is never
// dropped for want of a row).
[[nodiscard]] int set_param_int(const char* path, const char* key, int value);
[[nodiscard]] int set_param_value(const char* path, const char* key, const char* text);
[[nodiscard]] int add_param_value(const char* path, const char* key, const char* text);
int check_param_key(const char* path, const char* key);  // 0 when the key exists

// The default of a key from the defaults table (for callers that pass none).
int param_default_int(const char* key, int fallback);
const char* param_default_text(const char* key, const char* fallback);

// One row of the defaults table: the key and its default as text.
struct ParamDefault {
  const char* key;
  const char* value;
  bool is_int;
};
std::span<const ParamDefault> param_defaults();

// ---- record descriptors ---------------------------------------------------------

enum class DbType : uint8_t {
  I32,   // int32_t
  U32,   // uint32_t
  I64,   // int64_t
  U64,   // uint64_t (stored as a signed 64-bit column, bit pattern kept)
  F64,   // double
  Text,  // char[size], NUL-terminated; copies are bounded to size - 1
  Blob,  // raw bytes of the field's size
  I8,    // int8_t
  U8,    // uint8_t
  I16,   // int16_t
  U16,   // uint16_t
};
// An integer field whose size is a multiple (> 1) of its type's width is an
// array (int32_t flags[10] with DbType::I32): one TEXT column "1,0,1,...", one
// JSON array.

// One field of a record: its column name (also its JSON key unless `json`
// names another; an empty `json` keeps the field out of JSON), type, offset
// and width.
struct DbField {
  const char* column;
  DbType type;
  uint32_t offset;
  uint32_t size;
  const char* json = nullptr;
  const char* json_key() const { return json ? json : column; }
};

// One record kind: the table it is stored in, the column that keys its rows
// (nullptr: a table without a key: one row only for db_read/db_write, or a
// list of rows for the db_*_rows functions), its size and its fields.
struct DbRecord {
  const char* table;
  const char* key_column;
  size_t size;
  std::span<const DbField> fields;
};

// Width in bytes of one value of `type` (Text and Blob: 1).
constexpr uint32_t db_type_width(DbType type) {
  switch (type) {
    case DbType::I8:
    case DbType::U8:
    case DbType::Text:
    case DbType::Blob:
      return 1;
    case DbType::I16:
    case DbType::U16:
      return 2;
    case DbType::I32:
    case DbType::U32:
      return 4;
    case DbType::I64:
    case DbType::U64:
    case DbType::F64:
      return 8;
  }
  return 0;
}

void db_field_size_does_not_fit_type();  // not constexpr: names the fault at compile time

// A field whose member width does not fit its type fails to compile in a
// constexpr descriptor (and is refused at run time otherwise).
constexpr DbField db_make_field(const char* column, DbType type, size_t offset, size_t size,
                                const char* json) {
  uint32_t width = db_type_width(type);
  if (size == 0 || width == 0 || size % width != 0 || (type == DbType::F64 && size != 8))
    db_field_size_does_not_fit_type();
  return DbField{column, type, static_cast<uint32_t>(offset), static_cast<uint32_t>(size), json};
}

#define DB_FIELD(Struct, member, column, type) \
  db_make_field(column, type, offsetof(Struct, member), sizeof(Struct::member), nullptr)
#define DB_FIELD_J(Struct, member, column, type, json) \
  db_make_field(column, type, offsetof(Struct, member), sizeof(Struct::member), json)
// Element i of an array member.
#define DB_FIELD_AT(Struct, member, i, column, type)                                      \
  db_make_field(column, type, offsetof(Struct, member) + (i) * sizeof(Struct::member[0]), \
                sizeof(Struct::member[0]), nullptr)
#define DB_FIELD_AT_J(Struct, member, i, column, type, json)                              \
  db_make_field(column, type, offsetof(Struct, member) + (i) * sizeof(Struct::member[0]), \
                sizeof(Struct::member[0]), json)

// ---- generic record access --------------------------------------------------------
// `table` overrides desc.table when not empty (for the named tables that one
// record kind is stored in per event type). The name is the record kind: all
// kinds share one SQLite table ("records": kind, key, the record as JSON text
// keyed by column names), so the schema every run parses when it opens the
// file does not grow with the number of kinds (platform/qvdb_records.cpp).

// The row whose key column holds `key` (desc without key: the one row).
int db_read(const char* path, const DbRecord& desc, void* record, int64_t key,
            std::string_view table = {});
// The first row whose `column` holds `value` (compared as text).
int db_read_where(const char* path, const DbRecord& desc, void* record, const char* column,
                  std::string_view value, std::string_view table = {});
// Rows in key order (stored order without a key), at most `max`; *count gets
// the number read (0 when none). The array is left unchanged when nothing could
// be read.
int db_read_all(const char* path, const DbRecord& desc, void* array, int max, int* count,
                std::string_view table = {});
// Stores the record under its own key column's value (insert or replace).
[[nodiscard]] int db_write(const char* path, const DbRecord& desc, const void* record,
                           std::string_view table = {});
// All in one transaction.
[[nodiscard]] int db_write_all(const char* path, const DbRecord& desc, const void* array, int count,
                               std::string_view table = {});
// Removes the row of `key`; 0 also when there was none.
[[nodiscard]] int db_delete(const char* path, const DbRecord& desc, int64_t key,
                            std::string_view table = {});
// Writes `source` under every key whose bit is set in `channel_mask` (the key
// field of each copy set to the bit number), in one transaction.
[[nodiscard]] int db_copy_masked(const char* path, const DbRecord& desc, const void* source,
                                 uint64_t channel_mask, std::string_view table = {});

// Sets integer `column` to `value` in the rows of `table` whose key (column
// `key_column`) has its bit set in `channel_mask`; rows that are not stored yet
// are created holding just the key and that column.
[[nodiscard]] int copy_table_column_int(const char* path, const char* table, const char* column,
                                        int value, uint64_t channel_mask, const char* key_column);

// ---- lists of rows selected by column values --------------------------------------
// For records kept as lists (several rows per event source, in stored order).

// A column and the value it must hold: an integer, or a text when `text` is set.
struct DbMatch {
  const char* column;
  int64_t value;
  const char* text = nullptr;
};
// The rows whose match columns all hold their values (all rows for an empty
// match), in stored order, at most `max`.
int db_read_rows(const char* path, const DbRecord& desc, void* array, int max, int* count,
                 std::span<const DbMatch> match, std::string_view table = {});
// Replaces those rows by `count` records, in one transaction; each stored row
// gets the match values in its match columns.
[[nodiscard]] int db_replace_rows(const char* path, const DbRecord& desc,
                                  std::span<const DbMatch> match, const void* array, int count,
                                  std::string_view table = {});
// Changes the first row that matches to `record` (stored as it is, keeping the
// row's place in the list), or adds it when none does.
[[nodiscard]] int db_upsert_row(const char* path, const DbRecord& desc,
                                std::span<const DbMatch> match, const void* record,
                                std::string_view table = {});
// Removes the matching rows; 0 also when there were none.
[[nodiscard]] int db_delete_rows(const char* path, const DbRecord& desc,
                                 std::span<const DbMatch> match, std::string_view table = {});

// ---- JSON -------------------------------------------------------------------------

// Record -> JSON object through the descriptor (key order = field order; Blob
// fields and fields with an empty JSON key are left out; 64-bit values stay 64-bit).
json_object* db_record_to_json(const DbRecord& desc, const void* record);
// Fields whose JSON key is present are set: integers read wide and clamped to
// the field's range, texts copied bounded; a value of the wrong JSON type reads
// as 0 or the empty text. Absent keys leave the field alone.
void db_record_from_json(const DbRecord& desc, json_object* object, void* record);

// The 64-bit channel mask of a channel mask text: bit n set when character n
// is '1' (at most 64 characters are looked at).
uint64_t get_channel_mask(const char* text);

// ---- several writes, one transaction ---------------------------------------------

// Groups the writes to `path` made while it lives (by any db_* or parameter
// function, on this thread) into one transaction: one commit, one sync, all or
// nothing. commit() stores them (0, or -1 when any of them failed: then none
// is stored); a batch that is not committed is rolled back. Nested batches
// join the outer one.
//
//   DbBatch batch(path);
//   for (...) db_write(path, kMotion, &m);
//   return batch.commit();
class DbBatch {
 public:
  explicit DbBatch(const char* path);
  ~DbBatch();
  DbBatch(const DbBatch&) = delete;
  DbBatch& operator=(const DbBatch&) = delete;
  [[nodiscard]] int commit();

 private:
  const char* path_;
  bool open_ = false;
};

// ---- housekeeping -------------------------------------------------------------------

// Closes the connections this process holds (the next call opens anew). The
// write-ahead log is kept in place for the next run.
void qvdb_close_all();
// The names of the tables stored in a file (for the nvr-db tool); -1 when the
// file cannot be read.
int qvdb_list_tables(const char* path, void (*each)(const char* table, void* context),
                     void* context);
