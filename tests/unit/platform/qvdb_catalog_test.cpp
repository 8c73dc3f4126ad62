// The record catalogue: every descriptor the program knows stores, reads back
// and goes through JSON unchanged; the file's schema does not grow with kinds.
#include "platform/qvdb_catalog.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <strings.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/unit/platform/qvdb_test_util.h"
#include "frame/json.h"
#include "platform/qvdb_internal.h"

namespace {

const DbField* key_field(const DbRecord& desc) {
  for (const DbField& f : desc.fields)
    if (desc.key_column && strcasecmp(f.column, desc.key_column) == 0) return &f;
  return nullptr;
}

std::string name_of(const DbCatalogEntry& entry) {
  return std::string(entry.table ? entry.table : entry.record->table) + " (" +
         std::to_string(entry.record->fields.size()) + " fields)";
}

// Reads the record stored under the key that `sample` holds.
int read_back(const char* path, const DbCatalogEntry& entry, const unsigned char* sample,
              unsigned char* into) {
  const DbRecord& desc = *entry.record;
  std::string_view table = entry.table ? entry.table : "";
  const DbField* key = key_field(desc);
  if (key == nullptr) return db_read(path, desc, into, 0, table);
  if (key->type == DbType::Text) {
    const char* text = reinterpret_cast<const char*>(sample + key->offset);
    return db_read_where(path, desc, into, key->column, text, table);
  }
  return db_read(path, desc, into, qvdb_internal::load_int(key->type, sample + key->offset), table);
}

int schema_entries(const std::string& path) {
  qvdb_close_all();
  sqlite3* db = nullptr;
  int n = -1;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema", -1, &stmt, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
      n = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return n;
}

TEST(QvdbCatalog, EveryDescriptorRoundTripsThroughTheFileAndJson) {
  qvdb_test::TempDir dir;
  std::string path = dir.file("catalog.db");
  auto catalog = db_record_catalog();
  ASSERT_FALSE(catalog.empty());
  uint32_t seed = 3;
  for (const DbCatalogEntry& entry : catalog) {
    const DbRecord& desc = *entry.record;
    SCOPED_TRACE(name_of(entry));
    EXPECT_TRUE(entry.rows == 1 || entry.rows == 64);
    std::vector<unsigned char> sample(desc.size), read(desc.size, 0), from_json(desc.size, 0);
    db_fill_sample(desc, sample.data(), seed++);

    ASSERT_EQ(db_write(path.c_str(), desc, sample.data(), entry.table ? entry.table : ""), 0);
    ASSERT_EQ(read_back(path.c_str(), entry, sample.data(), read.data()), 0);
    EXPECT_EQ(memcmp(read.data(), sample.data(), desc.size), 0);

    // Through JSON: every field with a JSON key comes back (blobs are not JSON).
    std::vector<unsigned char> expected = sample;
    for (const DbField& f : desc.fields)
      if (f.type == DbType::Blob || f.json_key()[0] == '\0')
        memset(expected.data() + f.offset, 0, f.size);
    nvr::Json json(db_record_to_json(desc, sample.data()));
    db_record_from_json(desc, json.get(), from_json.data());
    EXPECT_EQ(memcmp(from_json.data(), expected.data(), desc.size), 0) << nvr::json_text(json);
  }
}

TEST(QvdbCatalog, SeedingEveryKindKeepsTheSchemaOfOneKind) {
  qvdb_test::TempDir dir;
  std::string all = dir.file("all.db"), one = dir.file("one.db");
  int stored = 0;
  ASSERT_EQ(db_seed_catalog(all.c_str(), &stored), 0);
  int expected = 0;
  std::set<std::string> kinds;
  for (const DbCatalogEntry& entry : db_record_catalog()) {
    expected += entry.rows;
    kinds.insert(entry.table ? entry.table : entry.record->table);
  }
  EXPECT_EQ(stored, expected);

  std::set<std::string> listed;
  ASSERT_EQ(
      qvdb_list_tables(
          all.c_str(),
          [](const char* name, void* c) { static_cast<std::set<std::string>*>(c)->insert(name); },
          &listed),
      0);
  EXPECT_EQ(listed, kinds);

  const DbCatalogEntry& first = db_record_catalog()[0];
  std::vector<unsigned char> sample(first.record->size);
  db_fill_sample(*first.record, sample.data(), 1);
  ASSERT_EQ(db_write(one.c_str(), *first.record, sample.data()), 0);
  EXPECT_EQ(schema_entries(all), schema_entries(one));
  EXPECT_LE(schema_entries(all), 2);  // the records table and its key index

  // Per-channel kinds hold a row per channel, keyed by the channel.
  for (const DbCatalogEntry& entry : db_record_catalog()) {
    if (entry.rows != 64) continue;
    SCOPED_TRACE(name_of(entry));
    std::vector<unsigned char> rows(entry.record->size * 65);
    int count = 0;
    ASSERT_EQ(db_read_all(all.c_str(), *entry.record, rows.data(), 65, &count), 0);
    EXPECT_EQ(count, 64);
  }
}

}  // namespace
