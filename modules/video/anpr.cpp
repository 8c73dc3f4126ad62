// Licence-plate recognition: the recorder's reaction per list (the mode's
// action object), the plate lists of the plate database, and the camera's
// recognition state and wildcards (requests to the core daemon).
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/video/event_actions.h"
#include "modules/video/event_routes.h"
#include "modules/video/vca_records.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"
#include "platform/qvstd.h"

namespace {

using nvr::Json;
using nvr::events::ActionKey;
using nvr::events::kChannels;

const char* db() { return nvr::qvdb_path(); }

// ---- the mode's action object ------------------------------------------------------------

constexpr ActionKey kModeAnswerKeys[] = {
    {"enable"},
    {"triAlarms"},
    {"interval"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"white_interval"},
    {"warning_light_interval"},
    {"http_notification_interval"},
    {"triChannels"},
    {"effective"},
    {"audible"},
    {"email"},
    {"ptz"},
    {"triChnAlarms"},
    {"white"},
    {"whiteInfo"},
    {"warningLight"},
    {"warningLightInfo"},
    {"httpSche"},
    {"httpParams"},
    {"audioId"},
    {"audioIdMask"},
    {"ptzParams"},
};
constexpr ActionKey kEffectiveOnly[] = {{"effective"}};

constexpr ActionKey kModeDialogKeys[] = {
    {"triChnAlarms"},
    {"triAlarms"},
    {"interval"},
    {"audioId"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"white_interval"},
    {"warning_light_interval"},
    {"http_notification_interval"},
    {"triChannels"},
};

// chnid 0..63 and mode -1..2 of a request object.
bool read_channel_mode(json_object* request, int32_t* channel, int32_t* mode) {
  return nvr::json_read_int(request, "chnid", channel, 0, kChannels - 1) &&
         nvr::json_read_int(request, "mode", mode, kAnprModeAny, kAnprModeLast);
}

AnprEventInfo event_or_cleared(int32_t channel, int mode) {
  AnprEventInfo record{};
  if (read_anpr_event(db(), &record, channel, mode) != 0) record = AnprEventInfo{};
  record.chnid = channel;
  return record;
}

// Stores the dialog's tables and record keys of the mode; the change count
// (0: the record needs no write). *failed is set when a table write failed.
int save_anpr_dialog_data(json_object* dialog, AnprEventInfo* record, int mode, int32_t channel,
                          bool* failed) {
  if (!nvr::json_is(dialog, json_type_object)) return 0;
  const nvr::events::EventSource& source = anpr_source(mode);
  *failed |= nvr::events::store_action_tables(source, dialog, channel) != 0;
  int changes = nvr::events::apply_action_fields(source, dialog, record, kModeDialogKeys) ? 1 : 0;
  changes += nvr::events::store_ptz_actions(dialog) ? 1 : 0;
  return changes;
}

// ---- plate lists ---------------------------------------------------------------------------

// A plate text of a request: URL-decoded, cut at 63 characters.
void decode_plate(json_object* value, char (&plate)[64]) {
  const char* text = nvr::json_is(value, json_type_string) ? json_object_get_string(value) : "";
  std::vector<char> decoded(strlen(text) + 1);
  get_url_decode(text, decoded.data(), static_cast<int>(decoded.size()));
  snprintf(plate, sizeof plate, "%s", decoded.data());
}
void copy_type(json_object* value, char (&type)[16]) {
  snprintf(type, sizeof type, "%s",
           nvr::json_is(value, json_type_string) ? json_object_get_string(value) : "");
}

// The count `cnt` of a plate route (1..10000), or 0.
int32_t plate_count(json_object* request) {
  int32_t count = 0;
  nvr::json_read_int(request, "cnt", &count, 1, kAnprMostPlates);
  return count;
}

// Element i of the "plate" array when it is an array of at least `size`
// elements, else null (the end of what a route takes).
json_object* plate_element(json_object* request, size_t i, size_t size) {
  json_object* list = nvr::json_get(request, "plate");
  if (!nvr::json_is(list, json_type_array) || i >= json_object_array_length(list)) return nullptr;
  json_object* element = json_object_array_get_idx(list, i);
  if (!nvr::json_is(element, json_type_array) || json_object_array_length(element) < size)
    return nullptr;
  return element;
}

// ---- camera replies -----------------------------------------------------------------------

template <int Which>
void on_triple_cb(uint32_t count, const void* records) {
  static constexpr const char* kKeys[2][3] = {{"chnid", "vca_support", "vca_version"},
                                              {"chnid", "state", "zoomNumber"}};
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const AnprTriple triple = nvr::record_at<AnprTriple>(records, 0);
  Json answer = nvr::json_new_object();
  for (int i = 0; i < 3; ++i) nvr::json_add_int(answer.get(), kKeys[Which][i], triple.values[i]);
  nvr::answer_json(answer);
}

void on_get_ipc_anpr_wildcards_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const AnprWildcards record = nvr::record_at<AnprWildcards>(records, 0);
  Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", record.channel);
  nvr::json_add_int(answer.get(), "filter", record.filter);
  nvr::json_add_int(answer.get(), "maxPlateCharNum", record.maxPlateCharNum);
  Json list = nvr::json_new_array();
  for (int i = 0; i < kAnprWildcards; ++i) {
    Json entry = nvr::json_new_object();
    nvr::json_add_int(entry.get(), "enable", record.enable[i]);
    nvr::json_add_int(entry.get(), "cr_count", record.cr_count[i]);
    nvr::json_add(entry.get(), "format",
                  nvr::json_new_string_bounded(record.format[i], sizeof record.format[i]));
    nvr::json_append(list.get(), std::move(entry));
  }
  nvr::json_add(answer.get(), "wildcards", std::move(list));
  nvr::answer_json(answer);
}

// ---- recognition settings ---------------------------------------------------------------

#define ANPR_FIELD(member) DB_FIELD(AnprSettings, member, #member, DbType::I32)
#define ANPR_TEXT(member) DB_FIELD(AnprSettings, member, #member, DbType::Text)
// The keys in the answer's order, in runs between the lists.
constexpr DbField kSettingsHead[] = {
    ANPR_FIELD(chnid),
    ANPR_FIELD(enable),
    ANPR_FIELD(resolution_width),
    ANPR_FIELD(resolution_height),
    ANPR_FIELD(area_x),
    ANPR_FIELD(area_y),
    ANPR_FIELD(area_width),
    ANPR_FIELD(area_height),
    ANPR_FIELD(day_night_mode_enable),
    ANPR_FIELD(scene),
    ANPR_FIELD(direction_enable),
    ANPR_FIELD(region_enable),
    ANPR_FIELD(roiid_enable),
    ANPR_FIELD(process_mode),
    ANPR_FIELD(repeat_check_time_value),
    ANPR_FIELD(repeat_check_time_unit),
    ANPR_FIELD(post_enable),
    ANPR_FIELD(post_type),
    ANPR_FIELD(post_tcp_port),
    ANPR_TEXT(post_http_user),
    ANPR_TEXT(post_http_password),
    ANPR_TEXT(post_http_url),
    ANPR_FIELD(confidence),
};
constexpr DbField kSettingsMiddle[] = {
    ANPR_TEXT(cur_area),
    ANPR_FIELD(in_night_mode),  // answered only
    ANPR_FIELD(platecolorEnable), ANPR_FIELD(vehicletypeEnable), ANPR_FIELD(vehiclecolorEnable),
};
constexpr DbField kSettingsTail[] = {
    ANPR_FIELD(night_mode_enable),         ANPR_FIELD(night_mode_level),
    ANPR_FIELD(night_mode_starthour),      ANPR_FIELD(night_mode_startminute),
    ANPR_FIELD(night_mode_stophour),       ANPR_FIELD(night_mode_stopminute),
    ANPR_FIELD(night_mode_effective_mode), ANPR_FIELD(jsonSupport),
    ANPR_FIELD(irLedExternalSupport),      ANPR_FIELD(vehicleEnhancement),
    ANPR_FIELD(vehicleBrandEnable),
};
constexpr DbField kSettingsLast[] = {ANPR_FIELD(aitype)};
#undef ANPR_FIELD
#undef ANPR_TEXT

constexpr DbField kRoiFields[] = {
    DB_FIELD(AnprArea, name, "name", DbType::Text),
    DB_FIELD(AnprArea, startX, "startX", DbType::I32),
    DB_FIELD(AnprArea, startY, "startY", DbType::I32),
    DB_FIELD(AnprArea, endX, "endX", DbType::I32),
    DB_FIELD(AnprArea, endY, "endY", DbType::I32),
};
constexpr DbRecord kRoiRecord = {nullptr, nullptr, sizeof(AnprArea), kRoiFields};
// A preset's areas name their last key "endy".
constexpr DbField kPresetFields[] = {
    DB_FIELD(AnprArea, name, "name", DbType::Text),
    DB_FIELD(AnprArea, startX, "startX", DbType::I32),
    DB_FIELD(AnprArea, startY, "startY", DbType::I32),
    DB_FIELD(AnprArea, endX, "endX", DbType::I32),
    DB_FIELD(AnprArea, endY, "endy", DbType::I32),
};
constexpr DbRecord kPresetRecord = {nullptr, nullptr, sizeof(AnprArea), kPresetFields};
constexpr DbField kPolygonFields[] = {
    DB_FIELD(AnprPolygon, name, "name", DbType::Text),
    DB_FIELD(AnprPolygon, polygonX, "polygonX", DbType::Text),
    DB_FIELD(AnprPolygon, polygonY, "polygonY", DbType::Text),
};
constexpr DbRecord kPolygonRecord = {nullptr, nullptr, sizeof(AnprPolygon), kPolygonFields};

void add_fields(json_object* answer, std::span<const DbField> fields, const AnprSettings& record) {
  nvr::merge_json_keys(answer, nvr::fields_to_json(fields, &record, sizeof record));
}
void read_fields(json_object* request, std::span<const DbField> fields, AnprSettings* record) {
  nvr::fields_from_json(fields, request, record, sizeof *record);
}

template <class T>
Json list_json(const DbRecord& desc, const T* items, int count) {
  return nvr::record_list_json(desc, items, count);
}
template <class T>
void list_from_json(const DbRecord& desc, json_object* list, T* items, int count) {
  nvr::record_list_from_json(desc, list, items, count);
}

// The plate cameras of the recognition's own make (camera types 11 to 14).
bool on_cgi_is_qv_lpr(int32_t aitype) { return aitype >= 11 && aitype <= 14; }

void on_get_anpr_settings_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  auto record = std::make_unique<AnprSettings>(nvr::record_at<AnprSettings>(records, 0));
  Json answer = nvr::json_new_object();
  add_fields(answer.get(), kSettingsHead, *record);
  Json regions = nvr::json_new_array();
  for (const auto& region : record->region)
    nvr::json_append(regions.get(), nvr::json_new_string_bounded(region, sizeof region));
  nvr::json_add(answer.get(), "region", std::move(regions));
  add_fields(answer.get(), kSettingsMiddle, *record);
  nvr::json_add(answer.get(), "roi", list_json(kRoiRecord, record->roi, kAnprAreas));
  Json presets = nvr::json_new_array();
  for (const auto& preset : record->preset)
    nvr::json_append(presets.get(), list_json(kPresetRecord, preset, kAnprAreas));
  nvr::json_add(answer.get(), "preset", std::move(presets));
  add_fields(answer.get(), kSettingsTail, *record);
  if (record->jsonSupport != 0 && on_cgi_is_qv_lpr(record->aitype))
    nvr::json_add(answer.get(), "normalPolygons",
                  list_json(kPolygonRecord, record->normalPolygons, kAnprAreas));
  add_fields(answer.get(), kSettingsLast, *record);
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kAnprReplies[] = {
    {vca_reply_of(kReqAnprSettings), sizeof(AnprSettings), on_get_anpr_settings_cb},
    {vca_reply_of(kReqAnprSupport), sizeof(AnprTriple), on_triple_cb<0>},
    {vca_reply_of(kReqAnprState), sizeof(AnprTriple), on_triple_cb<1>},
    {vca_reply_of(kReqAnprWildcards), sizeof(AnprWildcards), on_get_ipc_anpr_wildcards_cb},
    {vca_reply_of(kReqSetAnprWildcards), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetAnprSettings), sizeof(int32_t), nvr::answer_set_result},
};

void on_anpr_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kAnprReplies, header, payload);
}

// A camera getter: chnid 0..63, else (and for no JSON object) the JSON error.
void ask_channel(const char* data, int32_t request_id) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_anpr_ipc_callback, request_id, channel, nvr::Silence::kJson);
}

// The wildcard record of a wildcard object (its "chnid" aside).
AnprWildcards wildcards_of(json_object* object, int32_t channel) {
  AnprWildcards record{};
  record.channel = channel;
  record.filter = static_cast<int32_t>(nvr::json_int_or(object, "filter"));
  record.maxPlateCharNum = static_cast<int32_t>(nvr::json_int_or(object, "maxPlateCharNum"));
  json_object* list = nvr::json_get(object, "wildcards");
  for (size_t i = 0; nvr::json_is(list, json_type_array) && i < json_object_array_length(list) &&
                     i < kAnprWildcards;
       ++i) {
    json_object* entry = json_object_array_get_idx(list, i);
    record.enable[i] = static_cast<int32_t>(nvr::json_int_or(entry, "enable"));
    record.cr_count[i] = static_cast<int32_t>(nvr::json_int_or(entry, "cr_count"));
    nvr::json_copy_string(entry, "format", record.format[i], sizeof record.format[i]);
  }
  return record;
}

}  // namespace

void on_set_anpr_mode_params(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  int32_t mode = 0;
  if (!request || !read_channel_mode(request.get(), &channel, &mode)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  AnprEventInfo record = event_or_cleared(channel, mode);
  bool failed = false;
  int changes = save_anpr_dialog_data(nvr::json_get(request.get(), "dialog"), &record, mode,
                                      channel, &failed);
  if (nvr::json_read_int(request.get(), "enable", &record.enable)) ++changes;
  if (changes > 0) failed |= write_anpr_event(db(), &record, mode) != 0;
  nvr::tell_daemon(kReqAnprModeChanged, AnprModeNotice{channel, mode});
  nvr::events::answer_stored(failed ? -1 : 0);
}

void on_get_anpr_mode_params(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  int32_t mode = 0;
  if (!request || !read_channel_mode(request.get(), &channel, &mode)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  const AnprEventInfo record = event_or_cleared(channel, mode);
  Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", channel);
  nvr::json_add_int(answer.get(), "mode", mode);
  const std::span<const ActionKey> keys =
      mode == kAnprModeAny ? std::span<const ActionKey>(kEffectiveOnly) : kModeAnswerKeys;
  Json rest = nvr::events::build_action_object(anpr_source(mode), channel, &record, keys);
  json_object_object_foreach(rest.get(), key, value) {
    nvr::json_add(answer.get(), key, Json(json_object_get(value)));
  }
  nvr::answer_json(answer);
}

void on_set_anpr_del_lpr_plate(char* data) {
  Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  const int32_t count = plate_count(request.get());
  json_object* list = nvr::json_get(request.get(), "plate");
  std::vector<AnprListEntry> entries;
  for (size_t i = 0; nvr::json_is(list, json_type_array) && i < static_cast<size_t>(count) &&
                     i < json_object_array_length(list);
       ++i) {
    AnprListEntry entry{};
    decode_plate(json_object_array_get_idx(list, i), entry.plate);
    entries.push_back(entry);
  }
  if (entries.empty()) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  (void)delete_anpr_lists(nvr::anpr_db_path(), entries.data(), static_cast<int>(entries.size()));
  nvr::answer_text("OK");
}

void on_set_anpr_add_lpr_plate(char* data) {
  Json request = nvr::parse_request(data);
  const int32_t count = plate_count(request.get());
  std::vector<AnprListEntry> entries;
  for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
    json_object* element = plate_element(request.get(), i, 2);
    if (element == nullptr) break;
    AnprListEntry entry{};
    copy_type(json_object_array_get_idx(element, 0), entry.type);
    decode_plate(json_object_array_get_idx(element, 1), entry.plate);
    entries.push_back(entry);
  }
  if (entries.empty()) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  (void)write_anpr_list_replace_batch(nvr::anpr_db_path(), entries.data(),
                                      static_cast<int>(entries.size()));
  Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "count", static_cast<int64_t>(entries.size()));
  nvr::answer_json(answer);
}

void on_set_anpr_update_lpr_plate(char* data) {
  if (data == nullptr || *data == '\0') {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  Json request = nvr::parse_request(data);
  const int32_t count = plate_count(request.get());
  if (count == 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  DbBatch batch(nvr::anpr_db_path());
  for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
    json_object* element = plate_element(request.get(), i, 3);
    if (element == nullptr) break;
    AnprListEntry old_entry{};
    decode_plate(json_object_array_get_idx(element, 0), old_entry.plate);
    (void)delete_anpr_lists(nvr::anpr_db_path(), &old_entry, 1);
    AnprListEntry entry{};
    copy_type(json_object_array_get_idx(element, 1), entry.type);
    decode_plate(json_object_array_get_idx(element, 2), entry.plate);
    // One row per plate: a stored entry of the new plate is replaced, else added.
    (void)write_anpr_list_replace_batch(nvr::anpr_db_path(), &entry, 1);
  }
  (void)batch.commit();
  nvr::answer_text("OK");
}

void on_get_anpr_settings(char* data) { ask_channel(data, kReqAnprSettings); }

void on_set_anpr_settings(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  json_object* object = request.get();
  json_object* dialog = nvr::json_get(object, "dialog");
  if (dialog != nullptr) {
    AnprEventInfo record = event_or_cleared(channel, kAnprModeAny);
    bool failed = false;
    if (save_anpr_dialog_data(dialog, &record, kAnprModeAny, channel, &failed) > 0)
      (void)write_anpr_event(db(), &record, kAnprModeAny);
  }
  json_object* format = nvr::json_get(object, "formatData");
  if (nvr::json_is(format, json_type_object))
    nvr::tell_daemon(kReqSetAnprWildcards, wildcards_of(format, channel));
  auto record = std::make_unique<AnprSettings>();
  read_fields(object, kSettingsHead, record.get());
  record->chnid = channel;
  json_object* regions = nvr::json_get(object, "region");
  for (size_t i = 0; nvr::json_is(regions, json_type_array) &&
                     i < json_object_array_length(regions) && i < kAnprRegions;
       ++i) {
    json_object* text = json_object_array_get_idx(regions, i);
    if (nvr::json_is(text, json_type_string))
      snprintf(record->region[i], sizeof record->region[i], "%s", json_object_get_string(text));
  }
  read_fields(object, std::span<const DbField>(kSettingsMiddle).subspan(0, 1), record.get());
  read_fields(object, std::span<const DbField>(kSettingsMiddle).subspan(2), record.get());
  list_from_json(kRoiRecord, nvr::json_get(object, "roi"), record->roi, kAnprAreas);
  json_object* presets = nvr::json_get(object, "preset");
  for (size_t i = 0; nvr::json_is(presets, json_type_array) &&
                     i < json_object_array_length(presets) && i < kAnprPresets;
       ++i)
    list_from_json(kPresetRecord, json_object_array_get_idx(presets, i), record->preset[i],
                   kAnprAreas);
  read_fields(object, kSettingsTail, record.get());
  list_from_json(kPolygonRecord, nvr::json_get(object, "normalPolygons"), record->normalPolygons,
                 kAnprAreas);
  read_fields(object, kSettingsLast, record.get());
  nvr::ask_or_answer(on_anpr_ipc_callback, kReqSetAnprSettings, record.get(),
                     static_cast<int32_t>(sizeof *record), nvr::Silence::kJson);
}

void on_get_anpr_support_anpr(char* data) { ask_channel(data, kReqAnprSupport); }
void on_get_ipc_anpr_state(char* data) { ask_channel(data, kReqAnprState); }
void on_get_ipc_anpr_wildcards(char* data) { ask_channel(data, kReqAnprWildcards); }

void on_set_ipc_anpr_wildcards(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_anpr_ipc_callback, kReqSetAnprWildcards,
                     wildcards_of(request.get(), channel), nvr::Silence::kJson);
}
