// Storage of week schedules (see qvdb_schedule.h).
#include "platform/qvdb_schedule.h"

#include <cstring>
#include <memory>

#include "frame/json.h"
#include "frame/web_utils.h"
#include "platform/qvdb_internal.h"

using namespace qvdb_internal;

namespace {

bool slot_in_use(const ScheduleSlot& slot) {
  return slot.startTime[0] != '\0' || slot.endTime[0] != '\0' || slot.actionType != 0;
}

// Every schedule lives in one table: a table per schedule family would add
// its schema to what every run parses when it opens the file.
constexpr const char* kScheduleTable = "schedules";

const ColumnList& schedule_columns() {
  static const ColumnList columns = {{"name", "TEXT"}, {"id", "INTEGER"}, {"schedule", "TEXT"}};
  return columns;
}

}  // namespace

std::string schedule_to_text(const ScheduleBlock& block) {
  nvr::Json days = nvr::json_new_array();
  for (const ScheduleDay& day : block.days) {
    int used = kScheduleSlotPlaces;
    while (used > 0 && !slot_in_use(day.slots[used - 1])) --used;
    nvr::Json slots = nvr::json_new_array();
    for (int s = 0; s < used; ++s) {
      const ScheduleSlot& slot = day.slots[s];
      nvr::Json item = nvr::json_new_array();
      nvr::json_append(item.get(), nvr::json_new_string_bounded(slot.startTime, 32));
      nvr::json_append(item.get(), nvr::json_new_string_bounded(slot.endTime, 32));
      nvr::json_append(item.get(), nvr::json_new_int(slot.actionType));
      nvr::json_append(slots.get(), std::move(item));
    }
    nvr::Json entry = nvr::json_new_object();
    nvr::json_add_int(entry.get(), "valid", day.valid);
    nvr::json_add(entry.get(), "slots", std::move(slots));
    nvr::json_append(days.get(), std::move(entry));
  }
  return json_object_to_json_string_ext(days.get(), JSON_C_TO_STRING_PLAIN);
}

bool schedule_from_text(const char* text, ScheduleBlock* block) {
  if (text == nullptr || block == nullptr) return false;
  nvr::Json days = nvr::json_parse(text);
  if (!nvr::json_is(days.get(), json_type_array)) return false;
  memset(block, 0, sizeof *block);
  for (size_t d = 0; d < kScheduleDays && d < nvr::json_array_size(days.get()); ++d) {
    json_object* entry = nvr::json_at(days.get(), d);
    ScheduleDay& day = block->days[d];
    day.valid = static_cast<int32_t>(nvr::json_int_or(entry, "valid", 0));
    json_object* slots = nvr::json_get(entry, "slots");
    for (size_t s = 0; s < kScheduleSlotPlaces && s < nvr::json_array_size(slots); ++s) {
      json_object* item = nvr::json_at(slots, s);
      ScheduleSlot& slot = day.slots[s];
      nvr::json_copy_text(nvr::json_at(item, 0), slot.startTime, sizeof slot.startTime);
      nvr::json_copy_text(nvr::json_at(item, 1), slot.endTime, sizeof slot.endTime);
      slot.actionType = static_cast<int32_t>(nvr::json_int64(nvr::json_at(item, 2)).value_or(0));
    }
  }
  return true;
}

int db_read_schedule(const char* path, const char* table, int64_t key, ScheduleBlock* block) {
  if (path == nullptr || table == nullptr || block == nullptr) return -1;
  std::lock_guard guard(lock());
  sqlite3* db = reader(path);
  if (db == nullptr) return -1;
  Statement stmt;
  int rc = stmt.prepare(db, "SELECT schedule FROM schedules WHERE name = ?1 AND id = ?2");
  if (rc != SQLITE_OK) {
    if (!is_missing_schema(db, rc)) log_failure(db, path, "reading a schedule", rc);
    return -1;
  }
  sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
  sqlite3_bind_int64(stmt, 2, key);
  rc = sqlite3_step(stmt);
  if (rc != SQLITE_ROW) {
    if (rc != SQLITE_DONE) log_failure(db, path, "reading a schedule", rc);
    return -1;
  }
  auto read = std::make_unique<ScheduleBlock>();
  const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  if (!schedule_from_text(text, read.get())) {
    CGI_LOG("qvdb: schedule %lld of %s in %s is not readable", static_cast<long long>(key), table,
            path);
    return -1;
  }
  memcpy(block, read.get(), sizeof *block);
  return 0;
}

static int store_schedules(const char* path, const char* table, const ScheduleBlock* block,
                           uint64_t keys_mask, int64_t single_key, bool single) {
  if (path == nullptr || table == nullptr || block == nullptr) return -1;
  std::lock_guard guard(lock());
  std::string text = schedule_to_text(*block);
  return write_transaction(path, "writing a schedule", [&](sqlite3* db) {
    Statement stmt;
    int rc = prepare_write(db, &stmt,
                           "INSERT INTO schedules (name, id, schedule) VALUES (?1, ?2, ?3) "
                           "ON CONFLICT(name, id) DO UPDATE SET schedule = excluded.schedule",
                           kScheduleTable, schedule_columns(), "name, id");
    auto store = [&](int64_t key) {
      sqlite3_reset(stmt);
      sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
      sqlite3_bind_int64(stmt, 2, key);
      sqlite3_bind_text(stmt, 3, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
      int step = sqlite3_step(stmt);
      return step == SQLITE_DONE ? SQLITE_OK : step;
    };
    if (rc != SQLITE_OK) return rc;
    if (single) return store(single_key);
    for (int n = 0; n < 64 && rc == SQLITE_OK; ++n)
      if (keys_mask >> n & 1) rc = store(n);
    return rc;
  });
}

int db_write_schedule(const char* path, const char* table, int64_t key,
                      const ScheduleBlock* block) {
  return store_schedules(path, table, block, 0, key, true);
}

int db_copy_schedule(const char* path, const char* table, const ScheduleBlock* block,
                     uint64_t channel_mask) {
  if (channel_mask == 0) return 0;
  return store_schedules(path, table, block, channel_mask, 0, false);
}
