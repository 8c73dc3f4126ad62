// Action parameter tables and the alarm audio file table (see qvdb_actions.h).
#include "platform/qvdb_actions.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

// The named parameter tables of all event sources share one SQLite table per
// kind, their name in column "name": a table per event source would add to
// the schema that every run parses when it opens the file.
#pragma pack(push, 1)
template <typename Entry>
struct Named {
  char name[64];
  Entry entry;
};
#pragma pack(pop)
using WhiteLedRow = Named<WhiteLedParam>;
using WarningLightRow = Named<WarningLightParam>;
using HttpNotifyRow = Named<HttpNotifyParam>;

constexpr DbField kWhiteLedFields[] = {
    DB_FIELD(WhiteLedRow, name, "name", DbType::Text),
    DB_FIELD(WhiteLedRow, entry.index, "event_index", DbType::I32),
    DB_FIELD(WhiteLedRow, entry.chnid, "chnid", DbType::I32),
    DB_FIELD(WhiteLedRow, entry.mode, "mode", DbType::I32),
    DB_FIELD(WhiteLedRow, entry.time, "time", DbType::I32),
};

constexpr DbField kWarningLightFields[] = {
    DB_FIELD(WarningLightRow, name, "name", DbType::Text),
    DB_FIELD(WarningLightRow, entry.index, "event_index", DbType::I32),
    DB_FIELD(WarningLightRow, entry.chnid, "chnid", DbType::I32),
    DB_FIELD(WarningLightRow, entry.time, "time", DbType::I32),
};

constexpr DbField kHttpNotifyFields[] = {
    DB_FIELD(HttpNotifyRow, name, "name", DbType::Text),
    DB_FIELD(HttpNotifyRow, entry.chnId, "chnId", DbType::I32),
    DB_FIELD(HttpNotifyRow, entry.url, "url", DbType::Text),
    DB_FIELD(HttpNotifyRow, entry.username, "username", DbType::Text),
    DB_FIELD(HttpNotifyRow, entry.password, "password", DbType::Text),
};

// A stored PTZ action entry: the entry and the event type it belongs to.
#pragma pack(push, 1)
struct PtzActionRow {
  int32_t event_type;
  PtzActionParam entry;
};
#pragma pack(pop)

constexpr DbField kPtzActionFields[] = {
    DB_FIELD(PtzActionRow, event_type, "event_type", DbType::I32),
    DB_FIELD(PtzActionRow, entry.chn_id, "chn_id", DbType::I32),
    DB_FIELD(PtzActionRow, entry.acto_ptz_channel, "acto_ptz_channel", DbType::I32),
    DB_FIELD(PtzActionRow, entry.acto_ptz_type, "acto_ptz_type", DbType::I32),
    DB_FIELD(PtzActionRow, entry.acto_ptz_preset, "acto_ptz_preset", DbType::I32),
    DB_FIELD(PtzActionRow, entry.acto_ptz_patrol, "acto_ptz_patrol", DbType::I32),
    DB_FIELD(PtzActionRow, entry.acto_ptz_pattern, "acto_ptz_pattern", DbType::I32),
};

constexpr DbField kAlarmAudioFileFields[] = {
    DB_FIELD(AlarmAudioFile, id, "id", DbType::I32),
    DB_FIELD(AlarmAudioFile, enable, "enable", DbType::I32),
    DB_FIELD(AlarmAudioFile, name, "name", DbType::Text),
};

constexpr const char* kPtzTable = kPtzActionKind;
constexpr const char* kPeoplecntPtzTable = kPeoplecntPtzActionKind;
constexpr const char* kPeoplecntWledTable = "peoplecnt_wled_params";

}  // namespace

const DbRecord kWhiteLedRecord{"white_led_params", nullptr, sizeof(WhiteLedRow), kWhiteLedFields};
const DbRecord kWarningLightRecord{"warning_light_params", nullptr, sizeof(WarningLightRow),
                                   kWarningLightFields};
const DbRecord kHttpNotifyRecord{"http_notification_params", nullptr, sizeof(HttpNotifyRow),
                                 kHttpNotifyFields};
const DbRecord kPtzActionRecord{kPtzTable, nullptr, sizeof(PtzActionRow), kPtzActionFields};

namespace {

// A table name as stored: at most 63 characters.
std::string stored_name(std::string_view table) {
  return std::string(table.substr(0, std::min<size_t>(table.size(), 63)));
}
std::string stored_name(const DbTableQuery* query) {
  return stored_name(std::string_view(query->table, strnlen(query->table, sizeof query->table)));
}

// Rows of table `name` that match, at most `max` entries into `entries` (left
// as they are past the rows found).
template <typename Entry>
int read_named(const char* path, const DbRecord& desc, const std::string& name, const char* column,
               int32_t value, Entry* entries, int max, int* count) {
  if (count) *count = 0;
  if (entries == nullptr || name.empty()) return -1;
  std::vector<Named<Entry>> rows(static_cast<size_t>(max));
  for (int i = 0; i < max; ++i) rows[i].entry = entries[i];
  DbMatch match[] = {{"name", 0, name.c_str()}, {column, value}};
  int n = 0;
  int rc = db_read_rows(path, desc, rows.data(), max, &n, match);
  for (int i = 0; i < n; ++i) entries[i] = rows[i].entry;
  if (count) *count = n;
  return rc;
}

// Entries up to the last one in use: the stored list holds what was sent.
template <typename Entry>
int used_entries(const Entry* entries) {
  auto in_use = [](const Entry& e) {
    if constexpr (std::is_same_v<Entry, WhiteLedParam>)
      return e.chnid != 0 || e.mode != 0 || e.time != 0;
    else
      return e.chnid != 0 || e.time != 0;
  };
  int used = kActionParamEntries;
  while (used > 0 && !in_use(entries[used - 1])) --used;
  return used;
}

// Replaces the entries of (table name, event index).
template <typename Entry>
int write_entries(const char* path, const DbRecord& desc, const std::string& name, int32_t index,
                  const Entry* entries) {
  if (entries == nullptr || name.empty()) return -1;
  std::vector<Named<Entry>> rows(static_cast<size_t>(used_entries(entries)));
  for (size_t i = 0; i < rows.size(); ++i) rows[i].entry = entries[i];
  DbMatch match[] = {{"name", 0, name.c_str()}, {"event_index", index}};
  return db_replace_rows(path, desc, match, rows.data(), static_cast<int>(rows.size()));
}

template <typename Entry>
int read_entries(const char* path, const DbRecord& desc, const DbTableQuery* query, Entry* entries,
                 int* count) {
  if (count) *count = 0;
  if (query == nullptr) return -1;
  return read_named(path, desc, stored_name(query), "event_index", query->index, entries,
                    kActionParamEntries, count);
}

template <typename Entry>
int write_entries(const char* path, const DbRecord& desc, const DbTableQuery* query,
                  const Entry* entries) {
  if (query == nullptr) return -1;
  return write_entries(path, desc, stored_name(query), query->index, entries);
}

template <typename Entry>
int copy_entries(const char* path, const DbRecord& desc, const char* table, const Entry* entries,
                 uint64_t mask) {
  if (table == nullptr || entries == nullptr) return -1;
  std::string name = stored_name(table);
  DbBatch batch(path);
  for (int n = 0; n < 64; ++n)
    if (mask >> n & 1) write_entries(path, desc, name, n, entries);
  return batch.commit();
}

// The HTTP notification record of (table name, channel): the row is changed
// in place or added.
int write_http_row(const char* path, const std::string& name, int32_t channel,
                   const HttpNotifyParam* record) {
  HttpNotifyRow row{};
  memcpy(row.name, name.data(), name.size());
  row.entry = *record;
  row.entry.chnId = channel;
  DbMatch match[] = {{"name", 0, name.c_str()}, {"chnId", channel}};
  return db_upsert_row(path, kHttpNotifyRecord, match, &row);
}

// ---- PTZ rows -----------------------------------------------------------------------

int read_ptz_rows(const char* path, const char* table, PtzActionParam* area, int32_t event_type,
                  int32_t channel, int max, int* count) {
  if (count) *count = 0;
  if (area == nullptr) return -1;
  std::vector<PtzActionRow> rows(static_cast<size_t>(max));
  for (int i = 0; i < max; ++i) rows[i].entry = area[i];
  DbMatch match[] = {{"event_type", event_type}, {"chn_id", channel}};
  int n = 0;
  int rc = db_read_rows(path, kPtzActionRecord, rows.data(), max, &n, match, table);
  for (int i = 0; i < n; ++i) area[i] = rows[i].entry;
  if (count) *count = n;
  return rc;
}

int write_ptz_rows(const char* path, const char* table, const PtzActionParam* area,
                   int32_t event_type, int32_t channel, int max) {
  if (area == nullptr) return -1;
  std::vector<PtzActionRow> rows;
  for (int i = 0; i < kPtzActionEntries && static_cast<int>(rows.size()) < max; ++i)
    if (area[i].acto_ptz_channel > 0) rows.push_back({event_type, area[i]});
  DbMatch match[] = {{"event_type", event_type}, {"chn_id", channel}};
  return db_replace_rows(path, kPtzActionRecord, match, rows.data(), static_cast<int>(rows.size()),
                         table);
}

// One entry, identified by (event type, source channel, PTZ channel
// `ptz_channel`), becomes `entry`; added when there is none.
int upsert_ptz_row(const char* path, const char* table, const PtzActionParam* entry,
                   int32_t event_type, int32_t ptz_channel) {
  if (entry == nullptr) return -1;
  PtzActionRow row{event_type, *entry};
  row.entry.reserved = 0;
  DbBatch batch(path);
  if (ptz_channel != entry->acto_ptz_channel) {
    // Moving to another PTZ channel: an entry already there gives way, so
    // that (source, PTZ channel) stays one entry.
    DbMatch target[] = {{"event_type", event_type},
                        {"chn_id", entry->chn_id},
                        {"acto_ptz_channel", entry->acto_ptz_channel}};
    // Returning without commit rolls the batch back.
    if (db_delete_rows(path, kPtzActionRecord, target, table) != 0) return -1;
  }
  DbMatch match[] = {
      {"event_type", event_type}, {"chn_id", entry->chn_id}, {"acto_ptz_channel", ptz_channel}};
  if (db_upsert_row(path, kPtzActionRecord, match, &row, table) != 0) return -1;
  return batch.commit();
}

int delete_ptz_row(const char* path, const char* table, int32_t event_type, int32_t channel,
                   int32_t ptz_channel) {
  DbMatch match[] = {
      {"event_type", event_type}, {"chn_id", channel}, {"acto_ptz_channel", ptz_channel}};
  return db_delete_rows(path, kPtzActionRecord, match, table);
}

}  // namespace

const DbRecord kAlarmAudioFileRecord{"alarm_audio_file", "id", sizeof(AlarmAudioFile),
                                     kAlarmAudioFileFields};

DbTableQuery db_table_query(int32_t index, const char* table) {
  DbTableQuery query{};
  query.index = index;
  if (table) strncpy(query.table, table, sizeof query.table - 1);
  return query;
}

// ---- white LED ---------------------------------------------------------------------

int read_whiteled_params(const char* path, const DbTableQuery* query, WhiteLedParam* entries,
                         int* count) {
  return read_entries(path, kWhiteLedRecord, query, entries, count);
}

int write_whiteled_params_all(const char* path, const DbTableQuery* query,
                              const WhiteLedParam* entries) {
  return write_entries(path, kWhiteLedRecord, query, entries);
}

int copy_whiteled_params(const char* path, const char* table, const WhiteLedParam* entries,
                         uint64_t mask) {
  return copy_entries(path, kWhiteLedRecord, table, entries, mask);
}

int read_peoplecnt_wled_params(const char* path, int32_t group, WhiteLedParam* entries,
                               int* count) {
  DbTableQuery query = db_table_query(group, kPeoplecntWledTable);
  return read_entries(path, kWhiteLedRecord, &query, entries, count);
}

int write_peoplecnt_wled_params_all(const char* path, int32_t group, const WhiteLedParam* entries) {
  return write_entries(path, kWhiteLedRecord, std::string(kPeoplecntWledTable), group, entries);
}

// ---- warning light -------------------------------------------------------------------

int read_warning_light_params(const char* path, const DbTableQuery* query,
                              WarningLightParam* entries, int* count) {
  return read_entries(path, kWarningLightRecord, query, entries, count);
}

int write_warning_light_params_all(const char* path, const DbTableQuery* query,
                                   const WarningLightParam* entries) {
  return write_entries(path, kWarningLightRecord, query, entries);
}

int copy_warning_light_params(const char* path, const char* table, const WarningLightParam* entries,
                              uint64_t mask) {
  return copy_entries(path, kWarningLightRecord, table, entries, mask);
}

// ---- HTTP notification -----------------------------------------------------------------

int read_http_notification_params(const char* path, const DbTableQuery* query,
                                  HttpNotifyParam* record) {
  if (query == nullptr || record == nullptr) return -1;
  int count = 0;
  int rc = read_named(path, kHttpNotifyRecord, stored_name(query), "chnId", query->index, record, 1,
                      &count);
  return rc == 0 && count == 1 ? 0 : -1;
}

int write_http_notification_params(const char* path, const DbTableQuery* query,
                                   const HttpNotifyParam* record) {
  if (query == nullptr || record == nullptr) return -1;
  std::string name = stored_name(query);
  if (name.empty()) return -1;
  return write_http_row(path, name, query->index, record);
}

int copy_http_notification_params(const char* path, const char* table,
                                  const HttpNotifyParam* record, uint64_t mask) {
  if (table == nullptr || record == nullptr || table[0] == '\0') return -1;
  std::string name = stored_name(table);
  DbBatch batch(path);
  for (int n = 0; n < 64; ++n)
    if (mask >> n & 1) write_http_row(path, name, n, record);
  return batch.commit();
}

int read_http_notification_params_init(const char* path, const char* table,
                                       HttpNotifyParam* entries, int max, int* count) {
  if (count) *count = 0;
  if (table == nullptr || entries == nullptr || max <= 0) return -1;
  std::string name = stored_name(table);
  std::vector<HttpNotifyRow> rows(static_cast<size_t>(max));
  for (int i = 0; i < max; ++i) rows[i].entry = entries[i];
  DbMatch match[] = {{"name", 0, name.c_str()}};
  int n = 0;
  int rc = db_read_rows(path, kHttpNotifyRecord, rows.data(), max, &n, match);
  for (int i = 0; i < n; ++i) entries[i] = rows[i].entry;
  if (count) *count = n;
  return rc;
}

int write_http_notification_params_batch(const char* path, const char* table,
                                         const HttpNotifyParam* entries, int count) {
  if (table == nullptr || (entries == nullptr && count > 0) || count < 0) return -1;
  std::string name = stored_name(table);
  std::vector<HttpNotifyRow> rows(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) rows[i].entry = entries[i];
  DbMatch match[] = {{"name", 0, name.c_str()}};
  return db_replace_rows(path, kHttpNotifyRecord, match, rows.data(), count);
}

// ---- PTZ action entries ------------------------------------------------------------------

int read_ptz_params(const char* path, PtzActionParam* area, int32_t event_type, int32_t channel,
                    int* count) {
  return read_ptz_rows(path, kPtzTable, area, event_type, channel, kPtzActionEntries, count);
}

int write_ptz_params_all(const char* path, const PtzActionParam* area, int32_t event_type,
                         int32_t channel) {
  return write_ptz_rows(path, kPtzTable, area, event_type, channel, kPtzActionEntries);
}

int write_ptz_params(const char* path, const PtzActionParam* entry, int32_t event_type) {
  if (entry == nullptr) return -1;
  return upsert_ptz_row(path, kPtzTable, entry, event_type, entry->acto_ptz_channel);
}

int update_ptz_params(const char* path, const PtzActionParam* entry, int32_t event_type,
                      int32_t old_ptz_channel) {
  return upsert_ptz_row(path, kPtzTable, entry, event_type, old_ptz_channel);
}

int delete_ptz_params(const char* path, int32_t event_type, int32_t channel, int32_t ptz_channel) {
  return delete_ptz_row(path, kPtzTable, event_type, channel, ptz_channel);
}

int copy_ptz_params_all(const char* path, const PtzActionParam* area, int32_t event_type,
                        uint64_t mask) {
  if (area == nullptr) return -1;
  DbBatch batch(path);
  for (int n = 0; n < 64; ++n) {
    if (!(mask >> n & 1)) continue;
    std::vector<PtzActionParam> copy(area, area + kPtzActionEntries);
    for (auto& e : copy) e.chn_id = n;
    write_ptz_rows(path, kPtzTable, copy.data(), event_type, n, kPtzActionEntries);
  }
  return batch.commit();
}

int read_peoplecnt_ptz_params(const char* path, PtzActionParam* area, int32_t channel, int* count) {
  return read_ptz_rows(path, kPeoplecntPtzTable, area, kPeoplecntPtzEventType, channel,
                       kPeoplecntPtzEntries, count);
}

int write_peoplecnt_ptz_params_ex(const char* path, const PtzActionParam* area, int32_t channel) {
  return write_ptz_rows(path, kPeoplecntPtzTable, area, kPeoplecntPtzEventType, channel,
                        kPeoplecntPtzEntries);
}

int write_peoplecnt_ptz_params(const char* path, const PtzActionParam* entry) {
  if (entry == nullptr) return -1;
  return upsert_ptz_row(path, kPeoplecntPtzTable, entry, kPeoplecntPtzEventType,
                        entry->acto_ptz_channel);
}

int update_peoplecnt_ptz_params(const char* path, const PtzActionParam* entry,
                                int32_t old_ptz_channel) {
  return upsert_ptz_row(path, kPeoplecntPtzTable, entry, kPeoplecntPtzEventType, old_ptz_channel);
}

int delete_peoplecnt_ptz_params(const char* path, int32_t channel, int32_t ptz_channel) {
  return delete_ptz_row(path, kPeoplecntPtzTable, kPeoplecntPtzEventType, channel, ptz_channel);
}

// ---- alarm audio files ------------------------------------------------------------------

int read_alarm_audio_file(const char* path, AlarmAudioFile* files, int* count) {
  if (count) *count = 0;
  if (files == nullptr) return -1;
  // Stored ids may have gaps: read them all, then put each at its id's place.
  std::vector<AlarmAudioFile> stored(kAlarmAudioFiles);
  int n = 0;
  int rc = db_read_all(path, kAlarmAudioFileRecord, stored.data(), kAlarmAudioFiles, &n);
  if (rc != 0) return rc;
  int placed = 0;
  for (int i = 0; i < n; ++i) {
    int id = stored[i].id;
    if (id < 0 || id >= kAlarmAudioFiles) continue;
    files[id] = stored[i];
    ++placed;
  }
  if (count) *count = placed;
  return 0;
}

int write_alarm_audio_file(const char* path, const AlarmAudioFile* file) {
  if (file == nullptr || file->id < 0 || file->id >= kAlarmAudioFiles) return -1;
  return db_write(path, kAlarmAudioFileRecord, file);
}

int delete_alarm_audio_file(const char* path, int32_t id) {
  return db_delete(path, kAlarmAudioFileRecord, id);
}
