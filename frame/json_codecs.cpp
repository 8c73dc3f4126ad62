// JSON codecs shared by the event sources (see json_codecs.h).
#include "frame/json_codecs.h"

#include <cstring>
#include <optional>

#include "platform/device_path.h"

namespace {

// An integer element, 0 when it is missing or not an integer (read wide,
// clamped to int32).
int32_t int_of(json_object* value) {
  int64_t v = nvr::json_int64(value).value_or(0);
  if (!nvr::json_is(value, json_type_int) && nvr::json_is(value, json_type_double))
    v = static_cast<int64_t>(json_object_get_double(value));
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

int32_t member_int(json_object* object, const char* key) {
  return int_of(nvr::json_get(object, key));
}

// The member `key` of `object` when both are present.
json_object* member(json_object* object, const char* key) {
  if (object == nullptr || key == nullptr) return nullptr;
  json_object* value = nullptr;
  if (!json_object_object_get_ex(object, key, &value)) return nullptr;
  return value;
}

bool has_member(json_object* object, const char* key) {
  return object != nullptr && key != nullptr && json_object_object_get_ex(object, key, nullptr);
}

// ---- schedules -------------------------------------------------------------------

nvr::Json build_schedule(const ScheduleBlock* block, bool with_action, bool ipc) {
  nvr::Json days = nvr::json_new_array();
  for (int d = 0; d < kScheduleDays; ++d) {
    nvr::Json slots = nvr::json_new_array();
    const ScheduleDay* day = block ? &block->days[d] : nullptr;
    bool blank = day == nullptr || (ipc && day->valid == 0);
    for (int s = 0; s < kScheduleJsonSlots; ++s) {
      nvr::Json slot = nvr::json_new_object();
      const ScheduleSlot* from = blank ? nullptr : &day->slots[s];
      nvr::json_add(slot.get(), "startTime",
                    from ? nvr::json_new_string_bounded(from->startTime, sizeof from->startTime)
                         : nvr::json_new_string(""));
      nvr::json_add(slot.get(), "endTime",
                    from ? nvr::json_new_string_bounded(from->endTime, sizeof from->endTime)
                         : nvr::json_new_string(""));
      if (with_action) nvr::json_add_int(slot.get(), "actionType", from ? from->actionType : 0);
      nvr::json_append(slots.get(), std::move(slot));
    }
    nvr::json_append(days.get(), std::move(slots));
  }
  return days;
}

int read_schedule(json_object* object, const char* key, ScheduleBlock* block, int days, int slots,
                  bool ipc) {
  if (block == nullptr || !has_member(object, key)) return -1;
  json_object* value = member(object, key);
  memset(block, 0, sizeof *block);
  for (int d = 0; d < days; ++d) {
    json_object* day = nvr::json_at(value, d);
    for (int s = 0; s < slots; ++s) {
      json_object* slot = nvr::json_at(day, s);
      ScheduleSlot& to = block->days[d].slots[s];
      nvr::json_copy_text(nvr::json_at(slot, 0), to.startTime, sizeof to.startTime);
      nvr::json_copy_text(nvr::json_at(slot, 1), to.endTime, sizeof to.endTime);
      if (!ipc) to.actionType = int_of(nvr::json_at(slot, 2));
    }
    if (ipc) block->days[d].valid = 1;
  }
  return 0;
}

// Whether an array of action parameters is in object form: decided once for
// the whole array by its JSON text holding "chnid".
bool object_form(json_object* array) {
  const char* text = json_object_to_json_string(array);
  return text != nullptr && strstr(text, "chnid") != nullptr;
}

// One white-LED element into `entry`.
void read_white_entry(int32_t index, json_object* element, bool objects, WhiteLedParam* entry) {
  entry->index = index;
  if (objects) {
    entry->chnid = member_int(element, "chnid");
    entry->mode = member_int(element, "mode");
    entry->time = member_int(element, "time");
  } else {
    entry->chnid = int_of(nvr::json_at(element, 0));
    entry->mode = int_of(nvr::json_at(element, 1));
    entry->time = int_of(nvr::json_at(element, 2));
  }
}

int read_white_entries(int32_t index, WhiteLedParam* entries, json_object* object, const char* key,
                       bool clear) {
  if (entries == nullptr || !has_member(object, key)) return -1;
  json_object* array = member(object, key);
  if (clear) memset(entries, 0, sizeof(WhiteLedParam) * kActionParamEntries);
  bool objects = object_form(array);
  size_t n = nvr::json_array_size(array);
  for (size_t i = 0; i < n && i < static_cast<size_t>(kActionParamEntries); ++i)
    read_white_entry(index, nvr::json_at(array, i), objects, &entries[i]);
  return 0;
}

nvr::Json build_white_entries(const WhiteLedParam* entries, int count) {
  nvr::Json array = nvr::json_new_array();
  for (int i = 0; i < count && i < kActionParamEntries; ++i) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "chnid", entries[i].chnid);
    nvr::json_add_int(item.get(), "mode", entries[i].mode);
    nvr::json_add_int(item.get(), "time", entries[i].time);
    nvr::json_append(array.get(), std::move(item));
  }
  return array;
}

bool valid_ptz_channel(int32_t channel) { return channel >= 0 && channel < 64; }

}  // namespace

// ---- schedules -----------------------------------------------------------------------

nvr::Json get_schedule_json_object(const ScheduleBlock* block) {
  return build_schedule(block, true, false);
}

int get_schedule_by_json(json_object* object, const char* key, ScheduleBlock* block) {
  return read_schedule(object, key, block, kScheduleDays, kScheduleJsonSlots, false);
}

nvr::Json get_schedule_json_object_ex(const ScheduleBlock* block) {
  return build_schedule(block, true, false);
}

int get_schedule_by_json_ex(json_object* object, const char* key, ScheduleBlock* block) {
  return read_schedule(object, key, block, kScheduleDays, kScheduleJsonSlots, false);
}

nvr::Json get_schedule_json_object_ipc(const ScheduleBlock* block) {
  return build_schedule(block, false, true);
}

int get_schedule_by_json_ipc(json_object* object, const char* key, ScheduleBlock* block) {
  return read_schedule(object, key, block, kScheduleIpcDays, kScheduleIpcSlots, true);
}

// ---- copy set ----------------------------------------------------------------------------

uint64_t get_copy_flag_by_json(json_object* object, const char* array_key, const char* count_key) {
  if (object == nullptr || array_key == nullptr || count_key == nullptr) return 0;
  if (!has_member(object, count_key)) return 0;
  int64_t count = member_int(object, count_key);
  if (count <= 0) return 0;
  json_object* array = nvr::json_get(object, array_key);
  uint64_t mask = 0;
  for (int64_t i = 0; i < count && i < static_cast<int64_t>(nvr::json_array_size(array)); ++i) {
    std::optional<int64_t> channel = nvr::json_int64(nvr::json_at(array, static_cast<size_t>(i)));
    if (channel && *channel >= 0 && *channel <= 63) mask |= uint64_t{1} << *channel;
  }
  return mask;
}

// ---- alarm outputs -------------------------------------------------------------------------

nvr::Json get_event_chn_alarmout_object(const char* first, const char* second) {
  nvr::Json array = nvr::json_new_array();
  nvr::json_append(array.get(), nvr::json_new_string(first ? first : ""));
  nvr::json_append(array.get(), nvr::json_new_string(second ? second : ""));
  return array;
}

int get_event_chn_alarmout_by_object(int32_t index, json_object* object, const char* key,
                                     AlarmOutEntry* entries) {
  if (entries == nullptr || !has_member(object, key)) return -1;
  json_object* array = member(object, key);
  for (int i = 0; i < 2; ++i) {
    json_object* element = nvr::json_at(array, static_cast<size_t>(i));
    if (element == nullptr) continue;
    entries[i].index = index;
    entries[i].entry = i;
    nvr::json_copy_text(element, entries[i].list, sizeof entries[i].list);
  }
  return 0;
}

// ---- white LED, people-counting white LED, warning light ------------------------------------

nvr::Json get_white_params_json_object(int32_t index, const char* table) {
  WhiteLedParams params{};
  int count = 0;
  DbTableQuery query = db_table_query(index, table);
  read_whiteled_params(nvr::qvdb_path(), &query, params.entries, &count);
  return build_white_entries(params.entries, count);
}

int get_white_params_by_json(int32_t index, WhiteLedParams* params, json_object* object,
                             const char* key) {
  if (params == nullptr) return -1;
  return read_white_entries(index, params->entries, object, key, true);
}

nvr::Json get_pcnt_white_params_json_object(int32_t index) {
  WhiteLedParams params{};
  int count = 0;
  read_peoplecnt_wled_params(nvr::qvdb_path(), index, params.entries, &count);
  return build_white_entries(params.entries, count);
}

int get_pcnt_white_params_by_json(int32_t index, WhiteLedParam* entries, json_object* object,
                                  const char* key) {
  return read_white_entries(index, entries, object, key, false);
}

nvr::Json get_warning_light_params_json_object(int32_t index, const char* table) {
  WarningLightParams params{};
  int count = 0;
  DbTableQuery query = db_table_query(index, table);
  read_warning_light_params(nvr::qvdb_path(), &query, params.entries, &count);
  nvr::Json array = nvr::json_new_array();
  for (int i = 0; i < count && i < kActionParamEntries; ++i) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "chnid", params.entries[i].chnid);
    nvr::json_add_int(item.get(), "time", params.entries[i].time);
    nvr::json_append(array.get(), std::move(item));
  }
  return array;
}

int get_warning_light_params_by_json(int32_t index, WarningLightParams* params, json_object* object,
                                     const char* key) {
  if (params == nullptr || !has_member(object, key)) return -1;
  json_object* array = member(object, key);
  memset(params, 0, sizeof *params);
  bool objects = object_form(array);
  size_t n = nvr::json_array_size(array);
  for (size_t i = 0; i < n && i < static_cast<size_t>(kActionParamEntries); ++i) {
    json_object* element = nvr::json_at(array, i);
    WarningLightParam& entry = params->entries[i];
    entry.index = index;
    entry.chnid = objects ? member_int(element, "chnid") : int_of(nvr::json_at(element, 0));
    entry.time = objects ? member_int(element, "time") : int_of(nvr::json_at(element, 1));
  }
  return 0;
}

// ---- HTTP notification ----------------------------------------------------------------------

nvr::Json get_http_params_json_object(int32_t channel, const char* table) {
  HttpNotifyParam record{};
  DbTableQuery query = db_table_query(channel, table);
  read_http_notification_params(nvr::qvdb_path(), &query, &record);
  nvr::Json object = nvr::json_new_object();
  nvr::json_add_int(object.get(), "chnId", record.chnId);
  nvr::json_add(object.get(), "url", nvr::json_new_string_bounded(record.url, sizeof record.url));
  nvr::json_add(object.get(), "username",
                nvr::json_new_string_bounded(record.username, sizeof record.username));
  nvr::json_add(object.get(), "password",
                nvr::json_new_string_bounded(record.password, sizeof record.password));
  return object;
}

int get_http_params_by_json(int32_t channel, HttpNotifyParam* record, json_object* object,
                            const char* key) {
  if (record == nullptr || !has_member(object, key)) return -1;
  json_object* params = member(object, key);
  memset(record, 0, sizeof *record);
  record->chnId = channel;
  nvr::json_copy_text(nvr::json_get(params, "url"), record->url, sizeof record->url);
  nvr::json_copy_text(nvr::json_get(params, "username"), record->username, sizeof record->username);
  nvr::json_copy_text(nvr::json_get(params, "password"), record->password, sizeof record->password);
  return 0;
}

// ---- PTZ actions ----------------------------------------------------------------------------

nvr::Json get_ptz_params_json_object(int32_t event_type, int32_t channel) {
  PtzActionParam area[kPtzActionEntries] = {};
  int count = 0;
  if (event_type == kPeoplecntPtzEventType)
    read_peoplecnt_ptz_params(nvr::qvdb_path(), area, channel, &count);
  else
    read_ptz_params(nvr::qvdb_path(), area, event_type, channel, &count);
  nvr::Json array = nvr::json_new_array();
  for (int i = 0; i < count && i < kPtzActionEntries; ++i) {
    if (area[i].acto_ptz_channel <= 0) continue;
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "acto_ptz_channel", area[i].acto_ptz_channel);
    nvr::json_add_int(item.get(), "acto_ptz_type", area[i].acto_ptz_type);
    nvr::json_add_int(item.get(), "acto_ptz_preset", area[i].acto_ptz_preset);
    nvr::json_add_int(item.get(), "acto_ptz_patrol", area[i].acto_ptz_patrol);
    nvr::json_append(array.get(), std::move(item));
  }
  return array;
}

int get_ptz_params_by_json(int32_t channel, int32_t event_type, json_object* array,
                           PtzActionParam* area) {
  (void)event_type;
  if (!valid_ptz_channel(channel) || area == nullptr || !nvr::json_is(array, json_type_array))
    return -1;
  PtzActionParam read[kPtzActionEntries] = {};
  size_t n = nvr::json_array_size(array);
  for (size_t i = 0; i < n && i < static_cast<size_t>(kPtzActionEntries); ++i) {
    json_object* element = nvr::json_at(array, i);
    read[i].chn_id = channel;
    read[i].acto_ptz_channel = member_int(element, "acto_ptz_channel");
    read[i].acto_ptz_type = member_int(element, "acto_ptz_type");
    read[i].acto_ptz_preset = member_int(element, "acto_ptz_preset");
    read[i].acto_ptz_patrol = member_int(element, "acto_ptz_patrol");
    read[i].acto_ptz_pattern = member_int(element, "acto_ptz_pattern");
  }
  memcpy(area, read, sizeof read);
  return 0;
}

int set_ptz_params_by_json(int32_t channel, int32_t event_type, json_object* array) {
  if (array == nullptr) return 0;
  PtzActionParam area[kPtzActionEntries];
  if (get_ptz_params_by_json(channel, event_type, array, area) != 0) return 0;
  int stored = event_type == kPeoplecntPtzEventType
                   ? write_peoplecnt_ptz_params_ex(nvr::qvdb_path(), area, channel)
                   : write_ptz_params_all(nvr::qvdb_path(), area, event_type, channel);
  return stored == 0 ? 1 : 0;
}

// ---- other helpers -----------------------------------------------------------------------------

nvr::Json get_request_tokener_json_object(const char* text) {
  if (text == nullptr) return nullptr;
  return nvr::Json(json_tokener_parse(text));
}

int32_t get_audio_file_id_mask() {
  AlarmAudioFile files[kAlarmAudioFiles] = {};
  int count = 0;
  read_alarm_audio_file(nvr::qvdb_path(), files, &count);
  int32_t mask = 0;
  for (int n = 0; n < kAlarmAudioFiles; ++n)
    if (files[n].enable == 1) mask |= 1 << n;
  return mask;
}

int32_t on_cgi_is_qv_lpr(int32_t camera_type) {
  return camera_type >= 11 && camera_type <= 14 ? 1 : 0;
}
