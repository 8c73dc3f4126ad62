#include "modules/video/event_actions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "frame/ipc.h"
#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"

namespace nvr::events {
namespace {

const char* db() { return nvr::qvdb_path(); }

const DbField* field_by_json(const DbRecord& record, std::string_view key) {
  for (const DbField& field : record.fields)
    if (field.json_key() == key) return &field;
  return nullptr;
}
const DbField* field_by_column(const DbRecord& record, std::string_view column) {
  for (const DbField& field : record.fields)
    if (column == field.column) return &field;
  return nullptr;
}

char* text_at(void* record, const DbField& field) {
  return static_cast<char*>(record) + field.offset;
}
const char* text_at(const void* record, const DbField& field) {
  return static_cast<const char*>(record) + field.offset;
}

// A descriptor of one field under the JSON key `key`, so that the landed
// record codec reads or builds it alone.
struct OneField {
  DbField field;
  DbRecord record;
  OneField(const DbRecord& source, const DbField& f, const char* key)
      : field{f.column, f.type, f.offset, f.size, key},
        record{source.table, nullptr, source.size, std::span<const DbField>(&field, 1)} {}
};

// The schedule table of an answer or request key, or null for another key.
const char* schedule_table(const EventSource& source, std::string_view key) {
  if (key == "effective") return source.effective;
  if (key == "audible") return source.audible;
  if (key == "email") return source.email;
  if (key == "ptz") return source.ptz;
  if (key == "white") return source.white;
  if (key == "warningLight") return source.warning_light;
  if (key == "httpSche") return source.http;
  return nullptr;
}
bool is_schedule_key(std::string_view key) {
  return key == "effective" || key == "audible" || key == "email" || key == "ptz" ||
         key == "white" || key == "warningLight" || key == "httpSche";
}

Json chn_alarms_object(const EventSource& source, const void* record) {
  const DbField* first = field_by_column(*source.record, "tri_chn_alarm0");
  const DbField* second = field_by_column(*source.record, "tri_chn_alarm1");
  if (!first || !second) return get_event_chn_alarmout_object("", "");
  std::string a(text_at(record, *first), strnlen(text_at(record, *first), first->size));
  std::string b(text_at(record, *second), strnlen(text_at(record, *second), second->size));
  return get_event_chn_alarmout_object(a.c_str(), b.c_str());
}

Json field_value(const EventSource& source, const void* record, const ActionKey& key) {
  const DbField* field = field_by_json(*source.record, key.field ? key.field : key.key);
  if (field == nullptr) return nullptr;
  OneField one(*source.record, *field, key.key);
  Json object(db_record_to_json(one.record, record));
  json_object* value = json_get(object.get(), key.key);
  return value ? Json(json_object_get(value)) : nullptr;
}

Json build_one(const EventSource& source, int32_t index, const void* record, const ActionKey& key) {
  const std::string_view name = key.key;
  if (is_schedule_key(name)) {
    const ScheduleBlock block = read_schedule(schedule_table(source, name), index);
    return get_schedule_json_object(&block);
  }
  if (name == "whiteInfo") return get_white_params_json_object(index, source.white_params);
  if (name == "warningLightInfo")
    return get_warning_light_params_json_object(index, source.warning_light_params);
  if (name == "httpParams") return get_http_params_json_object(index, source.http_params);
  if (name == "ptzParams") return get_ptz_params_json_object(source.ptz_event_type, index);
  if (name == "audioIdMask") return json_new_int(get_audio_file_id_mask());
  if (name == "triChnAlarms") return chn_alarms_object(source, record);
  return field_value(source, record, key);
}

int store_schedule(json_object* object, const char* key, const char* table, int32_t index) {
  if (table == nullptr) return 0;
  ScheduleBlock block{};
  if (get_schedule_by_json(object, key, &block) != 0) return 0;
  return db_write_schedule(db(), table, index, &block);
}

}  // namespace

ScheduleBlock read_schedule(const char* table, int32_t index) {
  ScheduleBlock block{};
  if (table != nullptr) db_read_schedule(db(), table, index, &block);
  return block;
}

Json build_action_object(const EventSource& source, int32_t index, const void* record,
                         std::span<const ActionKey> keys) {
  Json answer = json_new_object();
  for (const ActionKey& key : keys) {
    Json value = build_one(source, index, record, key);
    if (value) json_add(answer.get(), key.key, std::move(value));
  }
  return answer;
}

int store_action_tables(const EventSource& source, json_object* object, int32_t index) {
  int failed = 0;
  for (const char* key : {"effective", "audible", "email", "ptz", "white", "httpSche"})
    failed |= store_schedule(object, key, schedule_table(source, key), index);
  if (source.white_params) {
    WhiteLedParams params{};
    if (get_white_params_by_json(index, &params, object, "whiteInfo") == 0) {
      const DbTableQuery query = db_table_query(index, source.white_params);
      failed |= write_whiteled_params_all(db(), &query, params.entries);
    }
  }
  failed |= store_schedule(object, "warningLight", source.warning_light, index);
  if (source.warning_light_params) {
    WarningLightParams params{};
    if (get_warning_light_params_by_json(index, &params, object, "warningLightInfo") == 0) {
      const DbTableQuery query = db_table_query(index, source.warning_light_params);
      failed |= write_warning_light_params_all(db(), &query, params.entries);
    }
  }
  if (source.http_params) {
    HttpNotifyParam params{};
    if (get_http_params_by_json(index, &params, object, "httpParams") == 0) {
      const DbTableQuery query = db_table_query(index, source.http_params);
      failed |= write_http_notification_params(db(), &query, &params);
    }
  }
  return failed ? -1 : 0;
}

bool apply_action_fields(const EventSource& source, json_object* object, void* record,
                         std::span<const ActionKey> keys) {
  bool present = false;
  for (const ActionKey& key : keys) {
    const std::string_view name = key.key;
    json_object* value = json_get(object, key.key);
    if (value == nullptr) continue;
    if (name == "triChnAlarms") {
      AlarmOutEntry entries[2] = {};
      const DbField* first = field_by_column(*source.record, "tri_chn_alarm0");
      const DbField* second = field_by_column(*source.record, "tri_chn_alarm1");
      if (!first || !second) continue;
      // Elements the request leaves out keep their stored text.
      snprintf(entries[0].list, sizeof entries[0].list, "%.*s", kMaskTextChars,
               text_at(record, *first));
      snprintf(entries[1].list, sizeof entries[1].list, "%.*s", kMaskTextChars,
               text_at(record, *second));
      get_event_chn_alarmout_by_object(0, object, key.key, entries);
      snprintf(text_at(record, *first), first->size, "%s", entries[0].list);
      snprintf(text_at(record, *second), second->size, "%s", entries[1].list);
      present = true;
      continue;
    }
    const DbField* field = field_by_json(*source.record, key.field ? key.field : key.key);
    if (field == nullptr) continue;
    if (name == "triChannels") {
      const DbField* mask = field_by_column(*source.record, "tri_channel_mask");
      const uint64_t bits =
          set_channel_text(text_at(record, *field), field->size,
                           json_is(value, json_type_string) ? json_object_get_string(value) : "");
      if (mask) memcpy(static_cast<char*>(record) + mask->offset, &bits, sizeof bits);
    } else {
      OneField one(*source.record, *field, key.key);
      db_record_from_json(one.record, object, record);
    }
    present = true;
  }
  return present;
}

bool store_ptz_actions(json_object* object) {
  json_object* list = json_get(object, "ptzParams");
  if (list == nullptr) return false;
  return set_ptz_params_by_json(static_cast<int32_t>(json_int_or(object, "ptzChnId")),
                                static_cast<int32_t>(json_int_or(object, "ptzType")), list) == 1;
}

int copy_action_tables(const EventSource& source, int32_t index, uint64_t mask) {
  if (mask == 0) return 0;
  int failed = 0;
  for (const char* table : {source.effective, source.audible, source.email, source.ptz,
                            source.white, source.warning_light, source.http}) {
    if (table == nullptr) continue;
    const ScheduleBlock block = read_schedule(table, index);
    failed |= db_copy_schedule(db(), table, &block, mask);
  }
  if (source.ptz_event_type >= 0) {
    PtzActionParam area[kPtzActionEntries] = {};
    int count = 0;
    read_ptz_params(db(), area, source.ptz_event_type, index, &count);
    failed |= copy_ptz_params_all(db(), area, source.ptz_event_type, mask);
  }
  if (source.white_params) {
    WhiteLedParam entries[kActionParamEntries] = {};
    int count = 0;
    const DbTableQuery query = db_table_query(index, source.white_params);
    read_whiteled_params(db(), &query, entries, &count);
    failed |= copy_whiteled_params(db(), source.white_params, entries, mask);
  }
  if (source.warning_light_params) {
    WarningLightParam entries[kActionParamEntries] = {};
    int count = 0;
    const DbTableQuery query = db_table_query(index, source.warning_light_params);
    read_warning_light_params(db(), &query, entries, &count);
    failed |= copy_warning_light_params(db(), source.warning_light_params, entries, mask);
  }
  if (source.http_params) {
    HttpNotifyParam record{};
    const DbTableQuery query = db_table_query(index, source.http_params);
    read_http_notification_params(db(), &query, &record);
    failed |= copy_http_notification_params(db(), source.http_params, &record, mask);
  }
  return failed ? -1 : 0;
}

int copy_event_record(const EventSource& source, const void* record, uint64_t mask) {
  if (mask == 0) return 0;
  return db_copy_masked(db(), *source.record, record, mask,
                        source.record_table ? source.record_table : std::string_view{});
}

int read_event_record(const EventSource& source, void* record, int32_t index) {
  return db_read(db(), *source.record, record, index,
                 source.record_table ? source.record_table : std::string_view{});
}
int write_event_record(const EventSource& source, const void* record) {
  return db_write(db(), *source.record, record,
                  source.record_table ? source.record_table : std::string_view{});
}

int read_event_records(const EventSource& source, void* records, int max) {
  const DbRecord& desc = *source.record;
  const DbField* key = field_by_column(desc, desc.key_column ? desc.key_column : "");
  if (key == nullptr || max <= 0) return -1;
  constexpr int kMostRows = 256;
  std::vector<unsigned char> stored(desc.size * kMostRows);
  int count = 0;
  const int rc = db_read_all(db(), desc, stored.data(), kMostRows, &count,
                             source.record_table ? source.record_table : std::string_view{});
  for (int i = 0; rc == 0 && i < count; ++i) {
    const unsigned char* row = stored.data() + desc.size * static_cast<size_t>(i);
    int32_t index = -1;
    memcpy(&index, row + key->offset, sizeof index);
    if (index >= 0 && index < max)
      memcpy(static_cast<unsigned char*>(records) + desc.size * static_cast<size_t>(index), row,
             desc.size);
  }
  return rc;
}

int write_event_records(const EventSource& source, const void* records, int max, uint64_t mask) {
  DbBatch batch(db());
  for (int i = 0; i < max && i < kChannels; ++i) {
    if (!(mask >> i & 1)) continue;
    if (write_event_record(source, static_cast<const unsigned char*>(records) +
                                       source.record->size * static_cast<size_t>(i)) != 0)
      return -1;
  }
  return batch.commit();
}

bool parse_index_text(const char* data, int32_t* index) {
  if (data == nullptr || *data < '0' || *data > '9') return false;
  errno = 0;
  char* end = nullptr;
  const long value = strtol(data, &end, 10);
  while (end && (*end == ' ' || *end == '\n' || *end == '\r')) ++end;
  if (errno != 0 || end == nullptr || *end != '\0' || value > INT32_MAX) return false;
  *index = static_cast<int32_t>(value);
  return true;
}

uint64_t set_channel_text(char* text, size_t size, const char* value) {
  snprintf(text, size, "%.*s", kMaskTextChars, value ? value : "");
  return get_channel_mask(text);
}

uint64_t mask_of_list(json_object* list, int64_t count, int32_t limit) {
  if (!json_is(list, json_type_array) || count <= 0) return 0;
  const int64_t length = static_cast<int64_t>(json_object_array_length(list));
  uint64_t mask = 0;
  for (int64_t i = 0; i < count && i < length; ++i) {
    std::optional<int64_t> n = json_int64(json_object_array_get_idx(list, static_cast<size_t>(i)));
    if (n && *n >= 0 && *n < limit && *n < kChannels) mask |= uint64_t{1} << *n;
  }
  return mask;
}

}  // namespace nvr::events
