// Configuration database: records, parameters, schema growth and damaged files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "frame/json.h"
#include "platform/qvdb.h"
#include "platform/qvdb_schedule.h"
#include "tests/unit/platform/qvdb_test_util.h"

namespace {

#pragma pack(push, 1)
struct AllTypes {
  int32_t id;
  uint32_t u32;
  int64_t i64;
  uint64_t u64;
  double f64;
  char text[16];
  uint8_t blob[5];
  int8_t i8;
  uint8_t u8;
  int16_t i16;
  uint16_t u16;
  int32_t flags[4];
  uint64_t masks[2];
};
struct Named {
  char name[8];
  int32_t value;
};
#pragma pack(pop)

constexpr DbField kAllTypesFields[] = {
    DB_FIELD(AllTypes, id, "id", DbType::I32),
    DB_FIELD(AllTypes, u32, "u32", DbType::U32),
    DB_FIELD(AllTypes, i64, "i64", DbType::I64),
    DB_FIELD(AllTypes, u64, "u64", DbType::U64),
    DB_FIELD(AllTypes, f64, "f64", DbType::F64),
    DB_FIELD_J(AllTypes, text, "text", DbType::Text, "textKey"),
    DB_FIELD(AllTypes, blob, "blob", DbType::Blob),
    DB_FIELD(AllTypes, i8, "i8", DbType::I8),
    DB_FIELD(AllTypes, u8, "u8", DbType::U8),
    DB_FIELD(AllTypes, i16, "i16", DbType::I16),
    DB_FIELD(AllTypes, u16, "u16", DbType::U16),
    DB_FIELD(AllTypes, flags, "flags", DbType::I32),
    DB_FIELD(AllTypes, masks, "masks", DbType::U64),
};
constexpr DbRecord kKeyed{"all_types", "id", sizeof(AllTypes), kAllTypesFields};
constexpr DbRecord kSingle{"all_types_single", nullptr, sizeof(AllTypes), kAllTypesFields};

constexpr DbField kNamedFields[] = {
    DB_FIELD(Named, name, "name", DbType::Text),
    DB_FIELD(Named, value, "value", DbType::I32),
};
constexpr DbRecord kNamed{"named", "name", sizeof(Named), kNamedFields};

AllTypes extreme_record(int32_t id) {
  AllTypes r{};
  r.id = id;
  r.u32 = UINT32_MAX;
  r.i64 = INT64_MIN + 1;
  r.u64 = UINT64_MAX - 1;
  r.f64 = -1.5e300;
  memset(r.text, 'A', sizeof r.text);  // no NUL: stored cut to 15 characters
  const uint8_t blob[5] = {1, 0, 2, 0, 3};
  memcpy(r.blob, blob, sizeof blob);
  r.i8 = INT8_MIN;
  r.u8 = UINT8_MAX;
  r.i16 = INT16_MIN;
  r.u16 = UINT16_MAX;
  const int32_t flags[4] = {1, -1, INT32_MAX, INT32_MIN};
  memcpy(r.flags, flags, sizeof flags);
  r.masks[0] = UINT64_MAX;
  r.masks[1] = uint64_t{1} << 63;
  return r;
}

// What reading back gives: the text bounded and NUL-terminated.
AllTypes expected_after_read(AllTypes r) {
  r.text[sizeof r.text - 1] = '\0';
  return r;
}

bool same(const AllTypes& a, const AllTypes& b) { return memcmp(&a, &b, sizeof a) == 0; }

TEST(QvdbRecords, EveryFieldTypeRoundTripsThroughSqliteAndJson) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("types.db");
  struct Case {
    const DbRecord* desc;
    int32_t id;
  };
  for (Case c : {Case{&kKeyed, 7}, Case{&kKeyed, -3}, Case{&kSingle, 0}}) {
    SCOPED_TRACE(c.desc->table + std::string(" id ") + std::to_string(c.id));
    AllTypes written = extreme_record(c.id);
    ASSERT_EQ(db_write(path.c_str(), *c.desc, &written), 0);
    AllTypes read{};
    ASSERT_EQ(db_read(path.c_str(), *c.desc, &read, c.id), 0);
    EXPECT_TRUE(same(read, expected_after_read(written)));

    nvr::Json json(db_record_to_json(*c.desc, &read));
    AllTypes from_json{};
    db_record_from_json(*c.desc, json.get(), &from_json);
    AllTypes expected = expected_after_read(written);
    memset(expected.blob, 0, sizeof expected.blob);  // blobs are not part of JSON
    EXPECT_TRUE(same(from_json, expected)) << nvr::json_text(json);
  }
}

TEST(QvdbRecords, JsonKeysAndWidthsFollowTheDescriptor) {
  AllTypes r = extreme_record(1);
  r.text[3] = '\0';
  nvr::Json json(db_record_to_json(kKeyed, &r));
  EXPECT_STREQ(nvr::json_string(json.get(), "textKey"), "AAA");
  EXPECT_EQ(nvr::json_get(json.get(), "text"), nullptr);
  EXPECT_EQ(nvr::json_get(json.get(), "blob"), nullptr);
  EXPECT_EQ(json_object_get_uint64(nvr::json_get(json.get(), "u64")), UINT64_MAX - 1);
  EXPECT_EQ(json_object_get_int64(nvr::json_get(json.get(), "i64")), INT64_MIN + 1);
  EXPECT_EQ(nvr::json_array_size(nvr::json_get(json.get(), "flags")), 4u);

  // Absent keys stay, wrong types read as 0 / empty, numbers are clamped.
  nvr::Json request =
      nvr::json_parse(R"({"u32": -5, "i8": 1000, "textKey": 12, "u16": "9", "flags": [5]})");
  AllTypes into = extreme_record(1);
  db_record_from_json(kKeyed, request.get(), &into);
  EXPECT_EQ(+into.u32, 0u);
  EXPECT_EQ(+into.i8, INT8_MAX);
  EXPECT_STREQ(into.text, "");
  EXPECT_EQ(+into.u16, 0);
  EXPECT_EQ(+into.flags[0], 5);
  EXPECT_EQ(+into.flags[1], -1);  // elements the array lacks are left alone
  EXPECT_EQ(+into.i64, INT64_MIN + 1);
}

TEST(QvdbRecords, MissingFileTableOrRowLeavesRecordAndCreatesNothing) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("missing.db");
  AllTypes record = extreme_record(5);
  AllTypes before = record;
  int count = 99;

  EXPECT_EQ(db_read(path.c_str(), kKeyed, &record, 5), -1);
  EXPECT_EQ(db_read_all(path.c_str(), kKeyed, &record, 1, &count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(get_param_int(path.c_str(), "max_cameras", 32), 32);
  EXPECT_EQ(db_delete(path.c_str(), kKeyed, 5), 0);
  struct stat st;
  EXPECT_NE(stat(path.c_str(), &st), 0) << "a read or delete created the file";

  Named other{"x", 1};
  ASSERT_EQ(db_write(path.c_str(), kNamed, &other), 0);
  EXPECT_EQ(db_read(path.c_str(), kKeyed, &record, 5), -1);  // no such table
  ASSERT_EQ(db_write(path.c_str(), kKeyed, &before), 0);
  EXPECT_EQ(db_read(path.c_str(), kKeyed, &record, 6), -1);  // no such row
  EXPECT_TRUE(same(record, before));

  Named found{};
  EXPECT_EQ(db_read_where(path.c_str(), kNamed, &found, "name", "x"), 0);
  EXPECT_EQ(+found.value, 1);
  EXPECT_EQ(db_read_where(path.c_str(), kNamed, &found, "name", "y"), -1);
}

TEST(QvdbRecords, WriteReplacesReadAllOrdersDeleteRemoves) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("list.db");
  std::vector<AllTypes> rows;
  for (int32_t id : {3, 1, 2}) rows.push_back(extreme_record(id));
  ASSERT_EQ(db_write_all(path.c_str(), kKeyed, rows.data(), 3), 0);
  rows[0].i8 = 5;
  ASSERT_EQ(db_write(path.c_str(), kKeyed, &rows[0]), 0);  // same key: replaced

  AllTypes read[4] = {};
  int count = 0;
  ASSERT_EQ(db_read_all(path.c_str(), kKeyed, read, 4, &count), 0);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(+read[0].id, 1);
  EXPECT_EQ(+read[2].id, 3);
  EXPECT_EQ(+read[2].i8, 5);

  ASSERT_EQ(db_delete(path.c_str(), kKeyed, 2), 0);
  ASSERT_EQ(db_read_all(path.c_str(), kKeyed, read, 1, &count), 0);  // bounded by max
  EXPECT_EQ(count, 1);
  ASSERT_EQ(db_read_all(path.c_str(), kKeyed, read, 4, &count), 0);
  EXPECT_EQ(count, 2);

  ASSERT_EQ(db_copy_masked(path.c_str(), kKeyed, &rows[0], (uint64_t{1} << 63) | 1), 0);
  AllTypes copy{};
  ASSERT_EQ(db_read(path.c_str(), kKeyed, &copy, 63), 0);
  EXPECT_EQ(+copy.id, 63);
  EXPECT_EQ(+copy.i8, 5);
}

// An older descriptor wrote the record; a newer one with an extra field reads
// the old row (new field untouched) and its first write adds the field.
TEST(QvdbRecords, ColumnAddedLaterIsAddedToTheExistingTable) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("grow.db");
  constexpr DbRecord old_desc{"grow", "id", sizeof(AllTypes),
                              std::span<const DbField>(kAllTypesFields, 2)};
  constexpr DbRecord new_desc{"grow", "id", sizeof(AllTypes),
                              std::span<const DbField>(kAllTypesFields, 5)};
  AllTypes record = extreme_record(1);
  ASSERT_EQ(db_write(path.c_str(), old_desc, &record), 0);

  AllTypes read{};
  read.f64 = 2.5;
  ASSERT_EQ(db_read(path.c_str(), new_desc, &read, 1), 0);
  EXPECT_EQ(+read.u32, UINT32_MAX);
  EXPECT_EQ(+read.f64, 2.5);

  ASSERT_EQ(db_write(path.c_str(), new_desc, &record), 0);
  qvdb_close_all();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "SELECT json_extract(data, '$.f64'), json_extract(data, '$.u64') "
                               "FROM records WHERE kind = 'grow' AND \"key\" = 1",
                               -1, &stmt, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_double(stmt, 0), -1.5e300);
  EXPECT_EQ(static_cast<uint64_t>(sqlite3_column_int64(stmt, 1)), UINT64_MAX - 1);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

// Two descriptors of one kind: a write of the smaller one changes its fields
// and leaves the others' stored values; a column copied under another letter
// case wins over the older spelling.
TEST(QvdbRecords, WriteOfAPartialDescriptorKeepsTheOtherFields) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("merge.db");
  constexpr DbRecord part{"all_types", "id", sizeof(AllTypes),
                          std::span<const DbField>(kAllTypesFields, 2)};
  AllTypes full = extreme_record(4);
  ASSERT_EQ(db_write(path.c_str(), kKeyed, &full), 0);
  AllTypes change{};
  change.id = 4;
  change.u32 = 77;
  change.i64 = 5;  // not a field of `part`: not stored
  ASSERT_EQ(db_write(path.c_str(), part, &change), 0);
  AllTypes read{};
  ASSERT_EQ(db_read(path.c_str(), kKeyed, &read, 4), 0);
  AllTypes expected = expected_after_read(full);
  expected.u32 = 77;
  EXPECT_TRUE(same(read, expected));

  ASSERT_EQ(copy_table_column_int(path.c_str(), "all_types", "U8", 9, 1u << 4, "id"), 0);
  ASSERT_EQ(db_read(path.c_str(), kKeyed, &read, 4), 0);
  EXPECT_EQ(+read.u8, 9);
  EXPECT_EQ(+read.i16, INT16_MIN);
}

// A file of the former layout (a table per record kind) reads as not stored
// and takes new writes; its tables stay as they were.
TEST(QvdbRecords, FileOfTheFormerLayoutReadsAsNotStored) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("former.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE all_types (id INTEGER PRIMARY KEY, u32 INTEGER, text TEXT);"
                         "INSERT INTO all_types VALUES (1, 5, 'old');"
                         "CREATE TABLE params (key TEXT PRIMARY KEY, value);"
                         "INSERT INTO params VALUES ('max_cameras', 16);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  AllTypes record = extreme_record(1);
  AllTypes before = record;
  EXPECT_EQ(db_read(path.c_str(), kKeyed, &record, 1), -1);
  int count = 3;
  EXPECT_EQ(db_read_rows(path.c_str(), kKeyed, &record, 1, &count, {}), -1);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(same(record, before));
  EXPECT_EQ(get_param_int(path.c_str(), "max_cameras", 32), 16);  // parameters kept their table

  ASSERT_EQ(db_write(path.c_str(), kKeyed, &record), 0);
  AllTypes read{};
  ASSERT_EQ(db_read(path.c_str(), kKeyed, &read, 1), 0);
  EXPECT_TRUE(same(read, expected_after_read(before)));
  std::vector<std::string> tables;
  ASSERT_EQ(
      qvdb_list_tables(
          path.c_str(),
          [](const char* t, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(t); },
          &tables),
      0);
  EXPECT_EQ(tables, (std::vector<std::string>{"all_types", "params"}));
}

TEST(QvdbRecords, DescriptorFaultsAreRefused) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("faults.db");
  const DbField twice[] = {DB_FIELD(Named, value, "v", DbType::I32),
                           DB_FIELD(Named, name, "V", DbType::Text)};
  const DbRecord dup{"dup", nullptr, sizeof(Named), twice};
  Named n{"a", 1};
  EXPECT_EQ(db_write(path.c_str(), dup, &n), -1);
  const DbRecord no_key{"nokey", "missing", sizeof(Named), kNamedFields};
  EXPECT_EQ(db_write(path.c_str(), no_key, &n), -1);
}

TEST(QvdbParams, DefaultsStoredValuesAndNewKeys) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("params.db");
  const char* p = path.c_str();
  char buffer[8];

  EXPECT_EQ(param_default_int("max_cameras", -1), 32);
  EXPECT_EQ(param_default_int("alarm_in", -1), 16);
  EXPECT_EQ(param_default_int("pushmsg_alarmin_type", -1), 65535);
  EXPECT_STREQ(param_default_text("software_version", nullptr), "7x.7.0.9");
  EXPECT_STREQ(param_default_text("company", nullptr), "Vantrell");
  EXPECT_STREQ(param_default_text("model", nullptr), "");
  EXPECT_STREQ(param_default_text("hdmihotplug", nullptr), "1");
  EXPECT_EQ(param_default_int("qvfs_dbup", -1), 0);
  EXPECT_EQ(param_default_int("no_such_key", -1), -1);

  EXPECT_EQ(check_param_key(p, "permission_update"), -1);
  EXPECT_EQ(get_param_value(p, "poepsd", buffer, sizeof buffer, "kt5827"), -1);
  EXPECT_STREQ(buffer, "kt5827");

  // A change of a key that is not stored yet is kept, not dropped.
  ASSERT_EQ(set_param_int(p, "permission_update", 0), 0);
  EXPECT_EQ(check_param_key(p, "permission_update"), 0);
  EXPECT_EQ(get_param_int(p, "permission_update", 7), 0);

  ASSERT_EQ(add_param_value(p, "model", "NV-1234567890"), 0);
  EXPECT_EQ(get_param_value(p, "model", buffer, sizeof buffer, ""), 0);
  EXPECT_STREQ(buffer, "NV-1234");  // bounded to the buffer
  ASSERT_EQ(set_param_value(p, "model", "X"), 0);
  EXPECT_EQ(get_param_value(p, "model", buffer, sizeof buffer, ""), 0);
  EXPECT_STREQ(buffer, "X");
  EXPECT_EQ(get_param_int(p, "model", 42), 42);  // not a number

  ASSERT_EQ(set_param_value(p, "max_cameras", "16"), 0);
  EXPECT_EQ(get_param_int(p, "max_cameras", 32), 16);
  ASSERT_EQ(set_param_value(p, "alarm_in", "010"), 0);  // decimal, not octal
  EXPECT_EQ(get_param_int(p, "alarm_in", 16), 10);
  ASSERT_EQ(set_param_int(p, "deviceid", 300), 0);
  EXPECT_EQ(get_param_value(p, "deviceid", buffer, sizeof buffer, "255"), 0);
  EXPECT_STREQ(buffer, "300");
}

TEST(QvdbRecords, CopyTableColumnIntSetsMaskedRowsOnly) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("camera.db");
  struct Camera {
    int32_t id;
    int32_t anr;
    char name[16];
  };
  const DbField fields[] = {DB_FIELD(Camera, id, "id", DbType::I32),
                            DB_FIELD(Camera, anr, "anr", DbType::I32),
                            DB_FIELD(Camera, name, "name", DbType::Text)};
  const DbRecord camera{"camera", "id", sizeof(Camera), fields};
  for (int32_t id = 0; id < 4; ++id) {
    Camera c{id, 0, "cam"};
    ASSERT_EQ(db_write(path.c_str(), camera, &c), 0);
  }
  uint64_t mask = (1u << 1) | (1u << 3) | (1u << 5);
  ASSERT_EQ(copy_table_column_int(path.c_str(), "camera", "anr", 9, mask, "id"), 0);
  for (int32_t id = 0; id < 6; ++id) {
    Camera c{};
    bool stored = db_read(path.c_str(), camera, &c, id) == 0;
    EXPECT_EQ(stored, id != 4) << id;
    EXPECT_EQ(c.anr, (mask >> id & 1) ? 9 : 0) << id;
    if (id < 4) {
      EXPECT_STREQ(c.name, "cam");
    }
  }
  // A table that does not exist yet is made for the column.
  ASSERT_EQ(copy_table_column_int(path.c_str(), "record", "record_stream", 1, 1, "id"), 0);
  EXPECT_EQ(copy_table_column_int(path.c_str(), "record", "record_stream", 1, 0, "id"), 0);
}

TEST(QvdbRecords, DamagedFileNeverCrashesReadsLeaveRecordsWritesFail) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("corrupt.db");
  {
    std::ofstream out(path);
    for (int i = 0; i < 400; ++i) out << "this is not a database file ";
  }
  AllTypes record = extreme_record(1);
  AllTypes before = record;
  int count = 5;
  EXPECT_EQ(db_read(path.c_str(), kKeyed, &record, 1), -1);
  EXPECT_EQ(db_read_all(path.c_str(), kKeyed, &record, 1, &count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(same(record, before));
  EXPECT_EQ(get_param_int(path.c_str(), "alarm_out", 4), 4);
  EXPECT_EQ(db_write(path.c_str(), kKeyed, &record), -1);
  EXPECT_EQ(set_param_int(path.c_str(), "alarm_out", 8), -1);
  ScheduleBlock block{};
  EXPECT_EQ(db_write_schedule(path.c_str(), "s", 0, &block), -1);
  if (!qvdb_test::process_root().empty()) {
    EXPECT_NE(qvdb_test::debug_log().find("corrupt.db failed: file is not a database"),
              std::string::npos);
  }

  // A valid file whose page was overwritten: still no crash.
  std::string damaged = dir.file("damaged.db");
  std::vector<AllTypes> rows;
  for (int32_t id = 0; id < 200; ++id) rows.push_back(extreme_record(id));
  ASSERT_EQ(db_write_all(damaged.c_str(), kKeyed, rows.data(), 200), 0);
  qvdb_close_all();
  unlink((damaged + "-wal").c_str());  // the rows are in the log until a checkpoint
  unlink((damaged + "-shm").c_str());
  {
    std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4096 + 100);
    std::string junk(3000, '\xff');
    f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  AllTypes all[200];
  db_read_all(damaged.c_str(), kKeyed, all, 200, &count);
  db_read(damaged.c_str(), kKeyed, &record, 150);
  (void)db_write(damaged.c_str(), kKeyed, &record);  // either result; no crash
}

TEST(QvdbRecords, BatchCommitsTogetherOrNotAtAll) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("batch.db");
  {
    DbBatch batch(path.c_str());
    for (int32_t id = 0; id < 3; ++id) {
      AllTypes r = extreme_record(id);
      EXPECT_EQ(db_write(path.c_str(), kKeyed, &r), 0);
    }
    // not committed: rolled back
  }
  AllTypes r{};
  EXPECT_EQ(db_read(path.c_str(), kKeyed, &r, 0), -1);
  {
    DbBatch batch(path.c_str());
    for (int32_t id = 0; id < 3; ++id) {
      r = extreme_record(id);
      EXPECT_EQ(db_write(path.c_str(), kKeyed, &r), 0);
    }
    EXPECT_EQ(set_param_int(path.c_str(), "k", 1), 0);
    EXPECT_EQ(batch.commit(), 0);
  }
  int count = 0;
  AllTypes all[4];
  EXPECT_EQ(db_read_all(path.c_str(), kKeyed, all, 4, &count), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(get_param_int(path.c_str(), "k", 0), 1);
}

TEST(QvdbSchedule, StoredAsReadableTextAndReadBack) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("sched.db");
  auto block = std::make_unique<ScheduleBlock>();
  memset(block.get(), 0, sizeof *block);
  strcpy(block->days[0].slots[0].startTime, "00:00");
  strcpy(block->days[0].slots[0].endTime, "23:59");
  block->days[0].slots[0].actionType = 1;
  memset(block->days[7].slots[47].endTime, 'x', 32);  // unterminated: cut to 31
  block->days[3].valid = 1;
  EXPECT_EQ(schedule_to_text(*block).rfind(R"([{"valid":0,"slots":[["00:00","23:59",1]]})", 0), 0u);

  auto read = std::make_unique<ScheduleBlock>();
  memset(read.get(), 0x5a, sizeof *read);
  auto untouched = std::make_unique<ScheduleBlock>(*read);
  EXPECT_EQ(db_read_schedule(path.c_str(), "motion_effective_schedule", 2, read.get()), -1);
  EXPECT_EQ(memcmp(read.get(), untouched.get(), sizeof *read), 0);

  ASSERT_EQ(db_write_schedule(path.c_str(), "motion_effective_schedule", 2, block.get()), 0);
  ASSERT_EQ(db_read_schedule(path.c_str(), "motion_effective_schedule", 2, read.get()), 0);
  block->days[7].slots[47].endTime[31] = '\0';
  EXPECT_EQ(memcmp(read.get(), block.get(), sizeof *read), 0);

  ASSERT_EQ(db_copy_schedule(path.c_str(), "motion_effective_schedule", block.get(), 0b1001), 0);
  EXPECT_EQ(db_read_schedule(path.c_str(), "motion_effective_schedule", 3, read.get()), 0);
  EXPECT_EQ(db_read_schedule(path.c_str(), "motion_effective_schedule", 1, read.get()), -1);
}

TEST(QvdbRecords, ChannelMaskText) {
  EXPECT_EQ(get_channel_mask(nullptr), 0u);
  EXPECT_EQ(get_channel_mask("1010"), 0b101u);
  EXPECT_EQ(get_channel_mask("0x1"), 0b100u);
  std::string long_text(70, '1');
  EXPECT_EQ(get_channel_mask(long_text.c_str()), UINT64_MAX);
}

}  // namespace
