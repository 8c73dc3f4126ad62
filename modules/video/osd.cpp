// The on-screen display of each channel (as the recorder stores it and as the
// camera draws it), the cameras' privacy masks, the recorder's exception
// actions and the two camera-side alarms (the camera's alarm input and its
// audio alarm).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_records.h"
#include "modules/video/event_actions.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"
#include "platform/qvdb_names.h"

namespace {

using nvr::Presence;
using nvr::events::kChannels;

constexpr int32_t kLogParamCameraIo = 923;
constexpr int32_t kLogParamVolumeDetect = 924;
constexpr int kStoredPrivacyAreas = 24;
constexpr int kExceptionNameSize = 32;
constexpr int32_t kMaskPictureWidth = 460;   // the mask editor's picture size
constexpr int32_t kMaskPictureHeight = 260;  // (the areas are in its units)
constexpr size_t kShortNameChars = 31;       // "/6002" keeps the short name

const char* db() { return nvr::qvdb_path(); }

void on_osd_replies(void* context, const void* header, const void* payload);

// The channel number that is a route's whole data, 0..63.
bool channel_text(const char* data, int32_t* channel) {
  return nvr::events::parse_index_text(data, channel) && *channel >= 0 && *channel < kChannels;
}

void answer_now(int kind, const nvr::Json& answer) {
  cgi_writeback_webserver(kind, nvr::json_text(answer));
}

// ---- the recorder's OSD --------------------------------------------------------------

constexpr nvr::PolicyRow kOsdPolicy[] = {
    nvr::policy_from(kOsdRecord, "camId", 0, kChannels - 1, Presence::kRequired),
    nvr::policy_text_from(kOsdRecord, "camName", Presence::kRequired),
    nvr::policy_from(kOsdRecord, "showName", 0, 1, Presence::kRequired),
    nvr::policy_from(kOsdRecord, "showDate", 0, 1, Presence::kRequired),
    nvr::policy_from(kOsdRecord, "showWeek", 0, 1, Presence::kRequired),
    nvr::policy_from(kOsdRecord, "dateFormat", 0, 3, Presence::kRequired),
    nvr::policy_from(kOsdRecord, "timeFormat", 0, 1, Presence::kRequired),
    nvr::policy_from(kOsdRecord, "alpha", 0, INT32_MAX, Presence::kRequired),
};

// The four positions: each a number >= 0 (integers count too).
bool read_positions(json_object* request, OsdRecord* record) {
  struct Position {
    const char* key;
    double OsdRecord::*field;
  };
  static constexpr Position kPositions[] = {{"datePosX", &OsdRecord::datePosX},
                                            {"datePosY", &OsdRecord::datePosY},
                                            {"namePosX", &OsdRecord::namePosX},
                                            {"namePosY", &OsdRecord::namePosY}};
  double values[4];
  for (size_t i = 0; i < std::size(kPositions); ++i) {
    json_object* value = nvr::json_get(request, kPositions[i].key);
    if (!nvr::json_is(value, json_type_double) && !nvr::json_is(value, json_type_int)) return false;
    values[i] = json_object_get_double(value);
    if (!(values[i] >= 0)) return false;
  }
  for (size_t i = 0; i < std::size(kPositions); ++i) record->*kPositions[i].field = values[i];
  return true;
}

OsdRecord stored_osd(int32_t channel) {
  OsdRecord record{};
  read_osd(db(), &record, channel);
  record.chnid = channel;
  if (record.name[0] == '\0') read_osd_name(db(), record.name, sizeof record.name, channel);
  return record;
}

// ---- privacy masks ---------------------------------------------------------------------

nvr::Json stored_mask_json(const PrivacyMask& mask) {
  nvr::Json object = nvr::json_new_object();
  nvr::json_add_int(object.get(), "id", mask.chnid);
  nvr::Json areas = nvr::json_new_array();
  for (const PrivacyArea& area : mask.areas) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "area_id", area.area_id);
    nvr::json_add_int(item.get(), "enable", area.enable);
    nvr::json_add_int(item.get(), "start_x", area.start_x);
    nvr::json_add_int(item.get(), "start_y", area.start_y);
    nvr::json_add_int(item.get(), "area_width", area.area_width);
    nvr::json_add_int(item.get(), "area_height", area.area_height);
    nvr::json_add_int(item.get(), "width", area.width);
    nvr::json_add_int(item.get(), "height", area.height);
    nvr::json_add_int(item.get(), "fill_color", area.fill_color);
    nvr::json_append(areas.get(), std::move(item));
  }
  nvr::json_add(object.get(), "area", std::move(areas));
  return object;
}

int32_t int_of(json_object* object, const char* key) {
  int32_t value = 0;
  nvr::json_read_int(object, key, &value);
  return value;
}

void fill_camera_area(json_object* item, CameraPrivacyArea* area) {
  area->area_id = int_of(item, "area_id");
  area->enable = int_of(item, "enable");
  area->start_x = int_of(item, "start_x");
  area->start_y = int_of(item, "start_y");
  area->area_width = int_of(item, "area_width");
  area->area_height = int_of(item, "area_height");
  area->fill_color = int_of(item, "fill_color");
  area->ratio = int_of(item, "ratio");
  nvr::json_copy_string(item, "name", area->name, sizeof area->name);
}

// The areas a request carries: num + mosaicNum, never past the record's 28
// (negative counts give none).
size_t requested_areas(const CameraPrivacyMask& mask) {
  const int64_t wanted = int64_t{std::max(mask.num, 0)} + std::max(mask.mosaicNum, 0);
  return static_cast<size_t>(std::min<int64_t>(wanted, kCameraPrivacyAreas));
}

nvr::Json camera_mask_json(const CameraPrivacyMask& mask) {
  nvr::Json object = nvr::json_new_object();
  json_object* o = object.get();
  nvr::json_add_int(o, "id", mask.id);
  nvr::json_add_int(o, "num", mask.num);
  nvr::json_add_int(o, "maxPtzZoomRatio", mask.maxPtzZoomRatio);
  nvr::json_add_int(o, "areaEnable", mask.areaEnable);
  nvr::json_add_int(o, "enable", mask.enable);
  nvr::json_add(o, "sdkversion",
                nvr::json_new_string_bounded(mask.sdkversion, sizeof mask.sdkversion));
  nvr::json_add_int(o, "cgiSdkFlag", mask.cgiSdkFlag);
  nvr::json_add(o, "colorList",
                nvr::json_new_string_bounded(mask.colorList, sizeof mask.colorList));
  nvr::json_add_int(o, "mosaicSupport", mask.mosaicSupport);
  nvr::json_add_int(o, "mosaicNum", mask.mosaicNum);
  nvr::json_add_int(o, "colorSupport", mask.colorSupport);
  nvr::json_add_int(o, "maxMaskSum", mask.maxMaskSum);
  // The camera's count never reads past the record's areas.
  const int shown = std::clamp(mask.maxMaskSum, 0, kCameraPrivacyAreas);
  nvr::Json areas = nvr::json_new_array();
  for (int i = 0; i < shown; ++i) {
    const CameraPrivacyArea& area = mask.area[i];
    nvr::Json item = nvr::json_new_object();
    json_object* a = item.get();
    nvr::json_add_int(a, "area_id", area.area_id);
    nvr::json_add_int(a, "enable", area.enable);
    nvr::json_add_int(a, "start_x", area.start_x);
    nvr::json_add_int(a, "start_y", area.start_y);
    nvr::json_add_int(a, "area_width", area.area_width);
    nvr::json_add_int(a, "area_height", area.area_height);
    nvr::json_add_int(a, "width", kMaskPictureWidth);
    nvr::json_add_int(a, "height", kMaskPictureHeight);
    nvr::json_add_int(a, "fill_color", area.fill_color);
    nvr::json_add_int(a, "left", area.start_x);
    nvr::json_add_int(a, "top", area.start_y);
    nvr::json_add_int(a, "right", area.area_width);
    nvr::json_add_int(a, "bottom", area.area_height);
    nvr::json_add_int(a, "ratio", area.ratio);
    nvr::json_add(a, "name", nvr::json_new_string_bounded(area.name, sizeof area.name));
    nvr::json_append(areas.get(), std::move(item));
  }
  nvr::json_add(o, "area", std::move(areas));
  return object;
}

void on_get_ipc_privacy_mask_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i)
    nvr::json_append(list.get(), camera_mask_json(nvr::record_at<CameraPrivacyMask>(records, i)));
  nvr::answer_json(list);
}

void on_get_ipc_model_type_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "result", nvr::record_at<int32_t>(records, 0));
  nvr::answer_json(answer);
}

void on_set_privacy_edit_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", nvr::record_at<int32_t>(records, 0));
  nvr::answer_json(answer);
}

// ---- exceptions ------------------------------------------------------------------------

// The exception's JSON name, or the empty text for one that is not listed.
void exception_name(int id, char (&name)[kExceptionNameSize]) {
  if (get_exception_name(id, name, kExceptionNameSize) != 0) name[0] = '\0';
}

const HttpNotifyParam* entry_of(std::span<const HttpNotifyParam> entries, int id) {
  for (const HttpNotifyParam& entry : entries)
    if (entry.chnId == id) return &entry;
  return nullptr;
}

nvr::Json exception_http_json() {
  HttpNotifyParam entries[kExceptionNames] = {};
  int count = 0;
  read_http_notification_params_init(db(), kExceptionHttpTable, entries, kExceptionNames, &count);
  const std::span<const HttpNotifyParam> stored(entries, std::clamp(count, 0, kExceptionNames));
  nvr::Json params = nvr::json_new_object();
  for (int id = 0; id < kExceptionNames; ++id) {
    char name[kExceptionNameSize];
    exception_name(id, name);
    if (name[0] == '\0') continue;
    const HttpNotifyParam* entry = entry_of(stored, id);
    const HttpNotifyParam empty{};
    if (!entry) entry = &empty;
    nvr::Json item = nvr::json_new_object();
    nvr::json_add(item.get(), "url", nvr::json_new_string_bounded(entry->url, sizeof entry->url));
    nvr::json_add(item.get(), "username",
                  nvr::json_new_string_bounded(entry->username, sizeof entry->username));
    nvr::json_add(item.get(), "password",
                  nvr::json_new_string_bounded(entry->password, sizeof entry->password));
    nvr::json_add(params.get(), name, std::move(item));
  }
  return params;
}

// The 14 entries of a request's "httpParams": a missing member is id -1.
void exception_http_entries(json_object* params, HttpNotifyParam (&entries)[kExceptionNames]) {
  for (int id = 0; id < kExceptionNames; ++id) {
    HttpNotifyParam& entry = entries[id];
    entry = HttpNotifyParam{};
    char name[kExceptionNameSize];
    exception_name(id, name);
    json_object* member = name[0] ? nvr::json_get(params, name) : nullptr;
    if (!nvr::json_is(member, json_type_object)) {
      entry.chnId = -1;
      continue;
    }
    entry.chnId = id;
    nvr::json_copy_string(member, "url", entry.url, sizeof entry.url);
    nvr::json_copy_string(member, "username", entry.username, sizeof entry.username);
    nvr::json_copy_string(member, "password", entry.password, sizeof entry.password);
  }
}

// ---- the camera's OSD ------------------------------------------------------------------

constexpr nvr::PolicyRow kCameraOsdPolicy[] = {
    NVR_POLICY_INT(CameraOsd, ch, "ch", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, enable_text, "enable_text", INT32_MIN, INT32_MAX,
                   Presence::kRequired),
    NVR_POLICY_TEXT(CameraOsd, text_name, "text_name", Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, textpos, "textpos", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, enable_date, "enable_date", INT32_MIN, INT32_MAX,
                   Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, datepos, "datepos", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, dateformat, "dateformat", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, fontSize, "fontSize", INT32_MIN, INT32_MAX, Presence::kRequired),
    NVR_POLICY_INT(CameraOsd, type, "type", INT32_MIN, INT32_MAX, Presence::kLenient),
    NVR_POLICY_INT(CameraOsd, enable_text_sub, "enable_text_sub", INT32_MIN, INT32_MAX,
                   Presence::kLenient),
    NVR_POLICY_TEXT(CameraOsd, text_name_sub, "text_name_sub", Presence::kAbsentIsZero),
    NVR_POLICY_INT(CameraOsd, textpos_sub, "textpos_sub", INT32_MIN, INT32_MAX, Presence::kLenient),
    NVR_POLICY_INT(CameraOsd, enable_date_sub, "enable_date_sub", INT32_MIN, INT32_MAX,
                   Presence::kLenient),
    NVR_POLICY_INT(CameraOsd, datepos_sub, "datepos_sub", INT32_MIN, INT32_MAX, Presence::kLenient),
    NVR_POLICY_INT(CameraOsd, dateformat_sub, "dateformat_sub", INT32_MIN, INT32_MAX,
                   Presence::kLenient),
    NVR_POLICY_INT(CameraOsd, fontSizeSub, "fontSizeSub", INT32_MIN, INT32_MAX, Presence::kLenient),
};

void on_get_osdconfig_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  const CameraOsd osd = nvr::record_at<CameraOsd>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  if (osd.ch < 0) {
    nvr::json_add_int(o, "disconnect", 0);
    nvr::answer_json(answer);
    return;
  }
  nvr::json_add_int(o, "enable_text", osd.enable_text);
  nvr::json_add(o, "text_name", nvr::json_new_string_bounded(osd.text_name, sizeof osd.text_name));
  nvr::json_add_int(o, "textpos", osd.textpos);
  nvr::json_add_int(o, "enable_date", osd.enable_date);
  nvr::json_add_int(o, "datepos", osd.datepos);
  nvr::json_add_int(o, "dateformat", osd.dateformat);
  nvr::json_add_int(o, "enable_text_sub", osd.enable_text_sub);
  nvr::json_add(o, "text_name_sub",
                nvr::json_new_string_bounded(osd.text_name_sub, sizeof osd.text_name_sub));
  nvr::json_add_int(o, "textpos_sub", osd.textpos_sub);
  nvr::json_add_int(o, "enable_date_sub", osd.enable_date_sub);
  nvr::json_add_int(o, "datepos_sub", osd.datepos_sub);
  nvr::json_add_int(o, "dateformat_sub", osd.dateformat_sub);
  nvr::json_add_int(o, "disconnect", 1);
  nvr::answer_json(answer);
}

void on_set_osdconfig_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  const int32_t result = nvr::record_at<int32_t>(records, 0);
  nvr::answer_text(result == 0 ? "OK" : result == -1 ? "NO_SUPPORT" : "ERROR");
}

// ---- camera-side alarms ----------------------------------------------------------------

void add_trigger_channels(json_object* o, int32_t actions, const char* text, size_t size) {
  nvr::json_add_int(o, "triActions", actions);
  nvr::json_add(o, "triChannels", nvr::json_new_string_bounded(text, size));
}

void on_get_cameraio_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  const CameraIoReply io = nvr::record_at<CameraIoReply>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "camId", io.channel);
  nvr::json_add_int(answer.get(), "enable", io.enable);
  nvr::json_add_int(answer.get(), "type", io.type);
  add_trigger_channels(answer.get(), io.actions, io.tri_channels, sizeof io.tri_channels);
  nvr::answer_json(answer);
}

void on_get_volumedetect_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  const VolumeDetectReply reply = nvr::record_at<VolumeDetectReply>(records, 0);
  const VolumeDetectSet& v = reply.values;
  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  nvr::json_add_int(o, "camId", v.channel);
  nvr::json_add_int(o, "enable", v.enable);
  nvr::json_add_int(o, "type", v.type);
  nvr::json_add_int(o, "volume", v.volume);
  nvr::json_add_int(o, "duration", v.duration);
  nvr::json_add_int(o, "onEvent", v.onEvent);
  nvr::json_add_int(o, "offEvent", v.offEvent);
  nvr::json_add_int(o, "ongoingEvent", v.ongoingEvent);
  add_trigger_channels(o, reply.actions, reply.tri_channels, sizeof reply.tri_channels);
  nvr::answer_json(answer);
}

// What both camera-side alarm setters read: the stored record and the
// values the camera is told.
struct CameraAlarmSet {
  VolumeDetectSet told;  // the camera alarm input uses the first three
  int32_t triActions;
  char triChannels[65];
};
constexpr int32_t kIntMax = INT32_MAX;
constexpr nvr::PolicyRow kCameraIoPolicy[] = {
    NVR_POLICY_INT(CameraAlarmSet, told.channel, "camId", 0, kChannels - 1, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, told.enable, "enable", 0, 1, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, told.type, "type", 0, kIntMax, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, triActions, "triActions", INT32_MIN, kIntMax,
                   Presence::kRequired),
    NVR_POLICY_TEXT(CameraAlarmSet, triChannels, "triChannels", Presence::kRequired),
};
constexpr nvr::PolicyRow kVolumeDetectPolicy[] = {
    kCameraIoPolicy[0],
    kCameraIoPolicy[1],
    kCameraIoPolicy[2],
    NVR_POLICY_INT(CameraAlarmSet, told.volume, "volume", 0, kIntMax, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, told.duration, "duration", 0, kIntMax, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, told.onEvent, "onEvent", 0, kIntMax, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, told.offEvent, "offEvent", 0, kIntMax, Presence::kRequired),
    NVR_POLICY_INT(CameraAlarmSet, told.ongoingEvent, "ongoingEvent", 0, kIntMax,
                   Presence::kRequired),
    kCameraIoPolicy[3],
    kCameraIoPolicy[4],
};

// The stored record of a camera-side alarm (the mask from the text's 64 places).
CameraAlarm camera_alarm_record(const CameraAlarmSet& set) {
  CameraAlarm record{};
  record.camId = set.told.channel;
  record.enable = set.told.enable;
  record.triActions = set.triActions;
  record.tri_channel_mask =
      nvr::events::set_channel_text(record.triChannels, sizeof record.triChannels, set.triChannels);
  return record;
}

constexpr nvr::ReplyRow kOsdReplies[] = {
    {kReplyCameraOsd, sizeof(CameraOsd), on_get_osdconfig_cb},
    {kReplySetCameraOsd, sizeof(int32_t), on_set_osdconfig_cb},
    {kReplyCameraPrivacyMasks, sizeof(CameraPrivacyMask), on_get_ipc_privacy_mask_cb},
    {kReplyCameraModelType, sizeof(int32_t), on_get_ipc_model_type_cb},
    {kReplyPrivacyEdit, sizeof(int32_t), on_set_privacy_edit_cb},
    {kReplyCameraIo, sizeof(CameraIoReply), on_get_cameraio_cb},
    {kReplyVolumeDetect, sizeof(VolumeDetectReply), on_get_volumedetect_cb},
};

void on_osd_replies(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kOsdReplies, header, payload);
}

// The "id" of a request as the daemon's int32 payload (absent: 0); false for
// data that is not a JSON object.
bool request_id(const char* data, const char* key, int32_t* id) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return false;
  *id = int_of(request.get(), key);
  return true;
}

}  // namespace

// ---- routes ----------------------------------------------------------------------------

void on_get_osd_info(char* data) {
  int32_t channel = 0;
  if (!channel_text(data, &channel)) return;
  const OsdRecord record = stored_osd(channel);
  answer_now(kRespJson, nvr::Json(db_record_to_json(kOsdRecord, &record)));
}

void on_set_osd_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = 0;
  if (!request || !nvr::json_read_int(request.get(), "camId", &channel, 0, kChannels - 1)) return;
  OsdRecord record = stored_osd(channel);
  if (nvr::read_policy(request.get(), kOsdPolicy, &record) != 0) return;
  if (!read_positions(request.get(), &record)) return;
  const OsdChanged changed{channel, 1, 0};
  nvr::finish_change(write_osd(db(), &record), {kReqOsdChanged, &changed, sizeof changed}, {});
}

void OnSetOSDName(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = 0;
  const char* name = request ? nvr::json_string(request.get(), "camName") : nullptr;
  // Other routes use this one to set a channel up: a channel outside 0..63 or
  // a missing or empty name is refused rather than stored.
  if (!name || name[0] == '\0' ||
      !nvr::json_read_int(request.get(), "camId", &channel, 0, kChannels - 1))
    return;
  OsdRecord record = stored_osd(channel);
  snprintf(record.name, sizeof record.name, "%.*s", static_cast<int>(kShortNameChars), name);
  nvr::finish_change(write_osd(db(), &record), {}, {});
}

void on_get_privacy_masks(char*) {
  static PrivacyMask masks[kChannels];
  int count = 0;
  if (db_read_all(db(), kPrivacyMaskRecord, masks, kChannels, &count) != 0) count = 0;
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < std::clamp(count, 0, kChannels); ++i)
    nvr::json_append(list.get(), stored_mask_json(masks[i]));
  answer_now(kRespJson, list);
}

void on_set_privacy_mask(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  json_object* areas = nvr::json_get(r, "area");
  json_object* channels = nvr::json_get(r, "chnid");
  if (!nvr::json_get(r, "cnt") || !areas || !channels) return;
  PrivacyMaskSet set{};
  memset(set.channels, '0', sizeof set.channels);
  const uint64_t listed =
      nvr::events::mask_of_list(channels, nvr::json_int_or(r, "cnt"), kChannels);
  for (int n = 0; n < kChannels; ++n)
    if (listed >> n & 1) set.channels[n] = '1';
  CameraPrivacyMask& mask = set.mask;
  mask.enable = int_of(r, "enable");
  mask.cgiSdkFlag = int_of(r, "cgiSdkFlag");
  mask.num = int_of(r, "num");
  mask.areaEnable = int_of(r, "areaMaskEnable");
  mask.mosaicSupport = int_of(r, "mosaicSupport");
  mask.mosaicNum = int_of(r, "mosaicNum");
  nvr::json_read_int(r, "delMask", &mask.delMask);
  const size_t count = requested_areas(mask);
  for (size_t i = 0; i < count; ++i) {
    json_object* item = nvr::json_at(areas, i);
    if (nvr::json_is(item, json_type_object)) fill_camera_area(item, &mask.area[i]);
  }
  nvr::tell_daemon(kReqSetPrivacyMasks, set);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_exception(char*) {
  TriggerAlarms alarms{};
  read_trigger_alarms(db(), &alarms);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "httpParams", exception_http_json());
  nvr::Json values = nvr::json_new_array();
  for (int32_t value : alarms.exception) nvr::json_append(values.get(), nvr::json_new_int(value));
  nvr::json_add(answer.get(), "exception", std::move(values));
  nvr::json_add_int(answer.get(), "recordFailedMailInterval", alarms.recordFailedMailInterval);
  answer_now(kRespJson, answer);
}

void on_set_exception(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* values = nvr::json_get(request.get(), "exception");
  if (!nvr::json_is(values, json_type_array) || nvr::json_array_size(values) < 8) return;
  TriggerAlarms alarms{};
  for (int i = 0; i < kExceptionActions; ++i) {
    int32_t value = 0;
    if (auto number = nvr::json_int64(nvr::json_at(values, static_cast<size_t>(i))))
      if (*number >= INT32_MIN && *number <= INT32_MAX) value = static_cast<int32_t>(*number);
    alarms.exception[i] = value;
  }
  alarms.recordFailedMailInterval = int_of(request.get(), "recordFailedMailInterval");
  json_object* params = nvr::json_get(request.get(), "httpParams");
  DbBatch batch(db());
  int failed = write_trigger_alarms(db(), &alarms);
  if (params) {
    HttpNotifyParam entries[kExceptionNames];
    exception_http_entries(params, entries);
    failed |=
        write_http_notification_params_batch(db(), kExceptionHttpTable, entries, kExceptionNames);
  }
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::tell_daemon(kReqExceptionsChanged, nullptr, 0);
  if (params) nvr::tell_daemon(kReqExceptionHttpChanged, nullptr, 0);
  cgi_writeback_webserver(kRespJson, "{\"status\":\"CGI SUCCESS\"}");
}

void on_get_osdconfig(char* data) {
  int32_t id = 0;
  if (!request_id(data, "id", &id)) return;
  nvr::ask_or_answer(on_osd_replies, kReqCameraOsd, id, nvr::Silence::kText);
}

void on_set_osdconfig(char* data) {
  CameraOsd osd{};
  if (nvr::read_request(data, kCameraOsdPolicy, &osd) != 0) return;
  nvr::ask_or_answer(on_osd_replies, kReqSetCameraOsd, osd, nvr::Silence::kText);
}

void on_get_cameraio_info(char* data) {
  int32_t channel = 0;
  if (!channel_text(data, &channel)) return;
  nvr::ask_or_answer(on_osd_replies, kReqCameraIo, channel, nvr::Silence::kJson);
}

void on_set_cameraio_info(char* data) {
  CameraAlarmSet set{};
  if (nvr::read_request(data, kCameraIoPolicy, &set) != 0) return;
  const CameraAlarm record = camera_alarm_record(set);
  const CameraIoSet told{set.told.channel, set.told.enable, set.told.type};
  nvr::finish_change(write_cameraio(db(), &record), {kReqSetCameraIo, &told, sizeof told},
                     {kLogSubChangeSettings, kLogParamCameraIo, set.told.channel + 1});
}

void on_get_volumedetect_info(char* data) {
  int32_t channel = 0;
  if (!channel_text(data, &channel)) return;
  nvr::ask_or_answer(on_osd_replies, kReqVolumeDetect, channel, nvr::Silence::kJson);
}

void on_set_volumedetect_info(char* data) {
  CameraAlarmSet set{};
  if (nvr::read_request(data, kVolumeDetectPolicy, &set) != 0) return;
  const CameraAlarm record = camera_alarm_record(set);
  nvr::finish_change(write_volumedetect(db(), &record),
                     {kReqSetVolumeDetect, &set.told, sizeof set.told},
                     {kLogSubChangeSettings, kLogParamVolumeDetect, set.told.channel + 1});
}

void on_get_privacy_mask_ovf(char* data) {
  int32_t id = 0;
  if (!request_id(data, "id", &id)) return;
  nvr::ask_or_answer(on_osd_replies, kReqCameraPrivacyMasks, id, nvr::Silence::kText);
}

void on_get_ipc_model_type(char* data) {
  int32_t id = 0;
  if (!request_id(data, "id", &id)) return;
  nvr::ask_or_answer(on_osd_replies, kReqCameraModelType, id, nvr::Silence::kText);
}

void on_delete_privacy_mask(char* data) {
  nvr::Json request = nvr::parse_request(data);
  PrivacyAreaRef area{};
  if (!request || !nvr::json_read_int(request.get(), "chan_id", &area.channel, 0, kChannels - 1) ||
      !nvr::json_read_int(request.get(), "area_id", &area.area, 0, kStoredPrivacyAreas)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::tell_daemon(kReqDeletePrivacyArea, area);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_cgi_set_privacy_edit(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const PrivacyAreaRef edit{int_of(request.get(), "chnid"), int_of(request.get(), "maskid")};
  nvr::ask_or_answer(on_osd_replies, kReqPrivacyEdit, edit, nvr::Silence::kJson);
}
