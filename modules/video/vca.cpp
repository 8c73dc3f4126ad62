// Smart analytics: the analytics settings inside the cameras (every get and
// set is a request to the core daemon, which asks the camera), and the
// recorder's reaction to each smart event (its action object, stored per
// channel and event, copied to other channels with a dialog).
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/video/event_actions.h"
#include "modules/video/event_routes.h"
#include "modules/video/vca_coords.h"
#include "modules/video/vca_records.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"

namespace {

using nvr::Json;
using nvr::events::ActionKey;
using nvr::events::kChannels;

const char* db() { return nvr::qvdb_path(); }

bool in_channels(int64_t channel) { return channel >= 0 && channel < kChannels; }
uint64_t channel_bit(int32_t channel) { return uint64_t{1} << channel; }

// ---- the action object of a smart event -------------------------------------------------

// The record keys a dialog carries.
constexpr ActionKey kDialogKeys[] = {
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

// The record keys of "/6149" (the dialog's, with enable, without HTTP).
constexpr ActionKey kScheduleKeys[] = {
    {"triChnAlarms"},      {"enable"},           {"triAlarms"},
    {"interval"},          {"audioId"},          {"email_interval"},
    {"email_pic_enable"},  {"tri_channels_pic"}, {"ptz_interval"},
    {"alarmout_interval"}, {"white_interval"},   {"warning_light_interval"},
    {"triChannels"},
};

// "/6148" after "chnid" and "event".
constexpr ActionKey kActionAnswerKeys[] = {
    {"enable"},
    {"triAlarms"},
    {"interval"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"triChannels"},
    {"effective"},
    {"audible"},
    {"email"},
    {"ptz"},
    {"triChnAlarms"},
    {"white"},
    {"whiteInfo"},
    {"white_interval"},
    {"warningLight"},
    {"warningLightInfo"},
    {"warning_light_interval"},
    {"audioId"},
    {"audioIdMask"},
    {"ptzParams"},
};

constexpr ActionKey kCommonParaKeys[] = {
    {"chnid"},          {"enable"},           {"triAlarms"},        {"interval"},
    {"email_interval"}, {"email_pic_enable"}, {"tri_channels_pic"}, {"triChannels"},
};

// The stored record of (channel, event), or a cleared one for this channel.
SmartEventInfo record_or_cleared(int32_t channel, int event) {
  SmartEventInfo record{};
  if (read_smart_event(db(), &record, channel, event) != 0) record = SmartEventInfo{};
  record.chnid = channel;
  return record;
}

// The event's action tables and record of `channel` onto every channel of
// `mask`: 0 when all were written.
int copy_smart_event_action(int event, int32_t channel, uint64_t mask, int) {
  mask &= ~channel_bit(channel);
  if (mask == 0) return 0;
  const nvr::events::EventSource& source = smart_event_source(event);
  const SmartEventInfo record = record_or_cleared(channel, event);
  int failed = nvr::events::copy_action_tables(source, channel, mask);
  failed |= nvr::events::copy_event_record(source, &record, mask);
  return failed ? -1 : 0;
}

// The action dialog of a camera-settings route: stored for its channel,
// copied to the channels of `copy_mask`, the daemon told. True when the
// record was written.
bool save_vca_dialog_data(int event, json_object* dialog, uint64_t copy_mask) {
  int32_t channel = -1;
  if (event < 0 || event >= kSmartEvents || !nvr::json_is(dialog, json_type_object) ||
      !nvr::json_read_int(dialog, "chnid", &channel, 0, kChannels - 1))
    return false;
  const nvr::events::EventSource& source = smart_event_source(event);
  (void)nvr::events::store_action_tables(source, dialog, channel);
  SmartEventInfo record = record_or_cleared(channel, event);
  bool changed = nvr::events::apply_action_fields(source, dialog, &record, kDialogKeys);
  changed |= nvr::events::store_ptz_actions(dialog);
  bool written = false;
  if (changed) written = write_smart_event(db(), &record, event) == 0;
  uint64_t mask = copy_smart_event_action(event, channel, copy_mask, 0) == 0 ? copy_mask : 0;
  mask |= channel_bit(channel);
  nvr::events::tell_mask(kReqSmartEventChanged, mask);
  return written;
}

// ---- the camera-settings records --------------------------------------------------------

// Descriptors of the keys a route answers or stores, in the answer's order.
constexpr DbField kRegionAnswer[] = {
    DB_FIELD(VcaMessage, region, "region", DbType::Text),
    DB_FIELD(VcaMessage, enable, "enable", DbType::I32),
    DB_FIELD(VcaMessage, sensitivity, "sensitivity", DbType::I32),
    DB_FIELD(VcaMessage, objtype, "objtype", DbType::I32),
    DB_FIELD(VcaMessage, polygonX, "polygonX", DbType::Text),
    DB_FIELD(VcaMessage, polygonY, "polygonY", DbType::Text),
};
constexpr DbField kMotionAnswer[] = {
    DB_FIELD(VcaMessage, region, "region", DbType::Text),
    DB_FIELD(VcaMessage, enable, "enable", DbType::I32),
    DB_FIELD(VcaMessage, sensitivity, "sensitivity", DbType::I32),
    DB_FIELD(VcaMessage, objtype, "objtype", DbType::I32),
    DB_FIELD(VcaMessage, polygonX, "polygonX", DbType::Text),
    DB_FIELD(VcaMessage, polygonY, "polygonY", DbType::Text),
    DB_FIELD(VcaMessage, ignore_time, "ignore_time", DbType::I32),
};
constexpr DbField kTamperAnswer[] = {
    DB_FIELD(VcaMessage, enable, "enable", DbType::I32),
    DB_FIELD(VcaMessage, sensitivity, "sensitivity", DbType::I32),
};
constexpr DbField kLoiteringAnswer[] = {
    DB_FIELD(VcaMessage, region, "region", DbType::Text),
    DB_FIELD(VcaMessage, enable, "enable", DbType::I32),
    DB_FIELD(VcaMessage, time, "time", DbType::I32),
    DB_FIELD(VcaMessage, size, "size", DbType::I32),
    DB_FIELD(VcaMessage, objtype, "objtype", DbType::I32),
    DB_FIELD(VcaMessage, polygonX, "polygonX", DbType::Text),
    DB_FIELD(VcaMessage, polygonY, "polygonY", DbType::Text),
};
constexpr DbField kHumanAnswer[] = {
    DB_FIELD(VcaMessage, enable, "enable", DbType::I32),
    DB_FIELD(VcaMessage, tracks, "tracks", DbType::I32),
};

constexpr DbField kRegionPolygon[] = {
    DB_FIELD(VcaPolygonPair, polygonX, "polygonX", DbType::Text),
    DB_FIELD(VcaPolygonPair, polygonY, "polygonY", DbType::Text),
};
constexpr DbRecord kPolygonRecord = {nullptr, nullptr, sizeof(VcaPolygonPair), kRegionPolygon};
constexpr DbField kRegionEntry[] = {
    DB_FIELD(VcaRegion, enable, "enable", DbType::I32),
    DB_FIELD(VcaRegion, objType, "objType", DbType::I32),
    DB_FIELD(VcaRegion, time, "time", DbType::I32),
};
constexpr DbRecord kRegionRecord = {nullptr, nullptr, sizeof(VcaRegion), kRegionEntry};
constexpr DbField kLeftRemoveEntry[] = {
    DB_FIELD(VcaLeftRemoveRegion, leftEnable, "leftEnable", DbType::I32),
    DB_FIELD(VcaLeftRemoveRegion, removeEnable, "removeEnable", DbType::I32),
};
constexpr DbRecord kLeftRemoveRegionRecord = {nullptr, nullptr, sizeof(VcaLeftRemoveRegion),
                                              kLeftRemoveEntry};

// One smart event whose camera settings travel in the VCA message record.
struct MessageEvent {
  int32_t get_request;  // int32 channel; the reply is get_request + 5000
  int32_t set_request;  // VcaMessage; the result reply is set_request + 5000
  std::span<const DbField> answer;
  std::span<const DbField> stored;  // the answer's keys, which the set route stores
  bool region_keys;                 // "regionType", "regionScene", "regionInfo"
};

// 0 region entrance, 1 region exiting, 2 advanced motion, 3 tampering,
// 4 loitering, 5 human detection.
constexpr MessageEvent kMessageEvents[] = {
    {kReqVcaRegionEntrance, kReqSetVcaRegionEntrance, kRegionAnswer, kRegionAnswer, true},
    {kReqVcaRegionExiting, kReqSetVcaRegionExiting, kRegionAnswer, kRegionAnswer, true},
    {kReqVcaMotion, kReqSetVcaMotion, kMotionAnswer, kMotionAnswer, true},
    {kReqVcaTamper, kReqSetVcaTamper, kTamperAnswer, kTamperAnswer, false},
    {kReqVcaLoitering, kReqSetVcaLoitering, kLoiteringAnswer, kLoiteringAnswer, true},
    {kReqVcaHuman, kReqSetVcaHuman, kHumanAnswer, kHumanAnswer, false},
};
enum MessageRow { kEntrance, kExiting, kMotion, kTamper, kLoitering, kHuman };

using nvr::fields_from_json;
using nvr::fields_to_json;

// The regions of a region-based record: regionType 1 takes polygon 0 of each
// region, 2 or more up to five.
template <class Region>
void set_regions(json_object* request, const DbRecord& entry, Region (&regions)[kVcaRegions],
                 int32_t region_type) {
  json_object* info = nvr::json_get(request, "regionInfo");
  if (region_type == 0 || !nvr::json_is(info, json_type_array)) return;
  const size_t count = json_object_array_length(info);
  const size_t polygons = region_type == 1 ? 1 : kVcaPolygons;
  for (size_t i = 0; i < count && i < kVcaRegions; ++i) {
    json_object* element = json_object_array_get_idx(info, i);
    db_record_from_json(entry, element, &regions[i]);
    json_object* list = nvr::json_get(element, "region");
    if (!nvr::json_is(list, json_type_array)) continue;
    for (size_t j = 0; j < json_object_array_length(list) && j < polygons; ++j)
      db_record_from_json(kPolygonRecord, json_object_array_get_idx(list, j),
                          &polygon_of(regions[i], j));
  }
}

template <class Record, class Region>
void set_common_info(json_object* request, const DbRecord& entry, Record* record,
                     Region (&regions)[kVcaRegions]) {
  record->regionType = static_cast<int32_t>(nvr::json_int_or(request, "regionType"));
  record->regionScene = static_cast<int32_t>(nvr::json_int_or(request, "regionScene"));
  set_regions(request, entry, regions, record->regionType);
}

// The copy text into the record, and the dialog stored for `event`.
void copy_and_dialog(json_object* request, char (&copy)[kVcaCopyChars], int event) {
  nvr::json_copy_string(request, "copyChn", copy, sizeof copy);
  json_object* dialog = nvr::json_get(request, "dialog");
  if (dialog != nullptr) save_vca_dialog_data(event, dialog, get_channel_mask(copy));
}

// ---- replies ------------------------------------------------------------------------------

template <int Row>
void on_get_vca_message_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaMessage message = nvr::record_at<VcaMessage>(records, 0);
  nvr::answer_json(fields_to_json(kMessageEvents[Row].answer, &message, sizeof message));
}

constexpr DbField kLeftRemoveAnswer[] = {
    DB_FIELD(VcaLeftRemove, region, "region", DbType::Text),
    DB_FIELD(VcaLeftRemove, left_enable, "left_enable", DbType::I32),
    DB_FIELD(VcaLeftRemove, remove_enable, "remove_enable", DbType::I32),
    DB_FIELD(VcaLeftRemove, min_time, "min_time", DbType::I32),
    DB_FIELD(VcaLeftRemove, sensitivity, "sensitivity", DbType::I32),
    DB_FIELD(VcaLeftRemove, polygonX, "polygonX", DbType::Text),
    DB_FIELD(VcaLeftRemove, polygonY, "polygonY", DbType::Text),
};
constexpr DbField kLeftRemoveStored[] = {
    DB_FIELD(VcaLeftRemove, left_enable, "left_enable", DbType::I32),
    DB_FIELD(VcaLeftRemove, remove_enable, "remove_enable", DbType::I32),
    DB_FIELD(VcaLeftRemove, min_time, "min_time", DbType::I32),
    DB_FIELD(VcaLeftRemove, sensitivity, "sensitivity", DbType::I32),
};
constexpr DbField kSettingsFields[] = {
    DB_FIELD(VcaSettings, fps, "fps", DbType::I32),
    DB_FIELD(VcaSettings, mode, "mode", DbType::I32),
    DB_FIELD(VcaSettings, installation, "installation", DbType::I32),
    DB_FIELD(VcaSettings, analysis, "analysis", DbType::I32),
    DB_FIELD(VcaSettings, width, "width", DbType::I32),
    DB_FIELD(VcaSettings, height, "height", DbType::I32),
    DB_FIELD(VcaSettings, vcaType, "vcaType", DbType::I32),
};
// The settings a set route fills: all but the type, which the camera answers.
constexpr std::span<const DbField> kSettingsStored(kSettingsFields, std::size(kSettingsFields) - 1);

void on_get_vca_leftremove_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaLeftRemove record = nvr::record_at<VcaLeftRemove>(records, 0);
  nvr::answer_json(fields_to_json(kLeftRemoveAnswer, &record, sizeof record));
}

// The line answer: each line {direction, position} on the web canvas.
void on_get_vca_line_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaLine record = nvr::record_at<VcaLine>(records, 0);
  Json lines = nvr::json_new_array();
  for (const VcaLinePoints& line : record.lines) {
    Json entry = nvr::json_new_object();
    nvr::json_add_int(entry.get(), "direction", line.direction);
    nvr::json_add_string(
        entry.get(), "position",
        nvr::vca::web_position(record.width, record.height,
                               {{line.startX, line.startY}, {line.stopX, line.stopY}}));
    nvr::json_append(lines.get(), std::move(entry));
  }
  Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "line", std::move(lines));
  nvr::json_add_int(answer.get(), "enable", record.enable);
  nvr::json_add_int(answer.get(), "width", record.width);
  nvr::json_add_int(answer.get(), "height", record.height);
  nvr::json_add_int(answer.get(), "objtype", record.objtype);
  nvr::answer_json(answer);
}

// A box on the web canvas: its start as a point, its size as a point, each
// value at least 1.
void add_web_box(json_object* object, const char* prefix, const VcaBox& box, int32_t w, int32_t h) {
  const nvr::vca::Point start =
      nvr::vca::at_least_one(nvr::vca::point_to_web(w, h, box.startX, box.startY));
  const nvr::vca::Point size =
      nvr::vca::at_least_one(nvr::vca::point_to_web(w, h, box.width, box.height));
  const std::string p = prefix;
  nvr::json_add_int(object, (p + "StartX").c_str(), start.x);
  nvr::json_add_int(object, (p + "StartY").c_str(), start.y);
  nvr::json_add_int(object, (p + "Width").c_str(), size.x);
  nvr::json_add_int(object, (p + "Height").c_str(), size.y);
}
VcaBox camera_box(json_object* object, const char* prefix, int32_t w, int32_t h) {
  const std::string p = prefix;
  auto value = [&](const char* key) {
    return static_cast<int32_t>(nvr::json_int_or(object, (p + key).c_str()));
  };
  const nvr::vca::Point start =
      nvr::vca::at_least_one(nvr::vca::point_to_camera(w, h, value("StartX"), value("StartY")));
  const nvr::vca::Point size =
      nvr::vca::at_least_one(nvr::vca::point_to_camera(w, h, value("Width"), value("Height")));
  return {start.x, start.y, size.x, size.y};
}

void on_get_vca_settings_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaSettings record = nvr::record_at<VcaSettings>(records, 0);
  Json answer = fields_to_json(kSettingsFields, &record, sizeof record);
  Json box = nvr::json_new_object();
  add_web_box(box.get(), "min", record.min, record.width, record.height);
  add_web_box(box.get(), "max", record.max, record.width, record.height);
  Json position = nvr::json_new_array();
  nvr::json_append(position.get(), std::move(box));
  nvr::json_add(answer.get(), "position", std::move(position));
  nvr::answer_json(answer);
}

// {support, type}: the reply's int32 at bytes 4 and 8.
struct VcaSupport {
  int32_t channel;
  int32_t support;
  int32_t type;
};
void on_get_vca_support_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaSupport record = nvr::record_at<VcaSupport>(records, 0);
  Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "support", record.support);
  nvr::json_add_int(answer.get(), "type", record.type);
  nvr::answer_json(answer);
}

// ---- people counting and the second-generation records ---------------------------

constexpr DbField kPeopleFields[] = {
    DB_FIELD(VcaPeople, width, "width", DbType::I32),
    DB_FIELD(VcaPeople, height, "height", DbType::I32),
    DB_FIELD(VcaPeople, osdEnable, "osdEnable", DbType::I32),
    DB_FIELD(VcaPeople, osdFontSize, "osdFontSize", DbType::I32),
    DB_FIELD(VcaPeople, osdTextPos, "osdTextPos", DbType::I32),
    DB_FIELD(VcaPeople, osdType, "osdType", DbType::I32),
    DB_FIELD(VcaPeople, sensitivity, "sensitivity", DbType::I32),
    DB_FIELD(VcaPeople, lineNum, "lineNum", DbType::I32),
    DB_FIELD(VcaPeople, triggerType, "triggerType", DbType::I32),
    DB_FIELD(VcaPeople, triggerEnable, "triggerEnable", DbType::I32),
    DB_FIELD(VcaPeople, totalAlarmEnable, "totalAlarmEnable", DbType::I32),
};
// The answer's keys: the first eight.
constexpr std::span<const DbField> kPeopleAnswer(kPeopleFields, 8);

// A per-line value of a counting line: one JSON array of four per key.
struct LineKey {
  const char* key;
  uint32_t offset;
  uint32_t size;  // 1 (signed byte) or 4
};
#define VCA_LINE_KEY(member) \
  LineKey { #member, offsetof(VcaCountLine, member), sizeof(VcaCountLine::member) }
constexpr LineKey kCountLineKeys[] = {
    VCA_LINE_KEY(lineEnable),    VCA_LINE_KEY(autoResetEnable), VCA_LINE_KEY(direction),
    VCA_LINE_KEY(showCntEnable), VCA_LINE_KEY(startX),          VCA_LINE_KEY(startY),
    VCA_LINE_KEY(stopX),         VCA_LINE_KEY(stopY),           VCA_LINE_KEY(autoResetWeekday),
    VCA_LINE_KEY(autoResetHour), VCA_LINE_KEY(autoResetMin),    VCA_LINE_KEY(autoResetSec),
    VCA_LINE_KEY(alarmEnable),
};
constexpr size_t kCountLineAnswerKeys = std::size(kCountLineKeys) - 1;  // not alarmEnable
#undef VCA_LINE_KEY

int32_t line_value(const VcaCountLine& line, const LineKey& key) {
  const auto* at = reinterpret_cast<const unsigned char*>(&line) + key.offset;
  if (key.size == 1) return static_cast<int8_t>(*at);
  int32_t value = 0;
  memcpy(&value, at, sizeof value);
  return value;
}
void set_line_value(VcaCountLine& line, const LineKey& key, int64_t value) {
  auto* at = reinterpret_cast<unsigned char*>(&line) + key.offset;
  if (key.size == 1) {
    *at = static_cast<unsigned char>(static_cast<int8_t>(value));
    return;
  }
  const int32_t v = static_cast<int32_t>(value);
  memcpy(at, &v, sizeof v);
}

// Element i of the array under `key` as an integer, or 0.
int64_t element_int(json_object* object, const char* key, size_t i) {
  json_object* list = nvr::json_get(object, key);
  if (!nvr::json_is(list, json_type_array) || i >= json_object_array_length(list)) return 0;
  return nvr::json_int64(json_object_array_get_idx(list, i)).value_or(0);
}
void fill_ints(json_object* list, int32_t* out, size_t count) {
  for (size_t i = 0;
       nvr::json_is(list, json_type_array) && i < count && i < json_object_array_length(list); ++i)
    out[i] = static_cast<int32_t>(nvr::json_int64(json_object_array_get_idx(list, i)).value_or(0));
}

void on_get_vca_people_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaPeople record = nvr::record_at<VcaPeople>(records, 0);
  Json answer = fields_to_json(kPeopleAnswer, &record, sizeof record);
  for (size_t k = 0; k < kCountLineAnswerKeys; ++k) {
    Json list = nvr::json_new_array();
    for (const VcaCountLine& line : record.lines)
      nvr::json_append(list.get(), nvr::json_new_int(line_value(line, kCountLineKeys[k])));
    nvr::json_add(answer.get(), kCountLineKeys[k].key, std::move(list));
  }
  Json positions = nvr::json_new_array();
  for (const VcaCountLine& line : record.lines) {
    using nvr::vca::at_least_one;
    using nvr::vca::point_to_web;
    nvr::json_append(
        positions.get(),
        nvr::json_new_string(nvr::vca::position_text(
            {at_least_one(point_to_web(record.width, record.height, line.startX, line.startY)),
             at_least_one(point_to_web(record.width, record.height, line.stopX, line.stopY))})));
  }
  nvr::json_add(answer.get(), "position", std::move(positions));
  nvr::answer_json(answer);
}

void on_get_ipc_vca_line2_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaLine2 record = nvr::record_at<VcaLine2>(records, 0);
  Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", record.channel);
  nvr::json_add_int(answer.get(), "width", record.width);
  nvr::json_add_int(answer.get(), "height", record.height);
  nvr::json_add_int(answer.get(), "sensitivity", record.sensitivity);
  Json lines = nvr::json_new_array();
  for (const VcaLine2Entry& line : record.lines) {
    Json entry = nvr::json_new_object();
    nvr::json_add_int(entry.get(), "enable", line.enable);
    nvr::json_add_int(entry.get(), "objtype", line.objtype);
    nvr::json_add_int(entry.get(), "direction", line.direction);
    nvr::json_add_string(
        entry.get(), "position",
        nvr::vca::web_position(record.width, record.height,
                               {{line.startX, line.startY}, {line.stopX, line.stopY}}));
    nvr::json_append(lines.get(), std::move(entry));
  }
  nvr::json_add(answer.get(), "line", std::move(lines));
  nvr::answer_json(answer);
}

constexpr const char* kBoxKeys[kVcaBoxKeys] = {"minStartX", "minStartY", "minWidth", "minHeight",
                                               "maxStartX", "maxStartY", "maxWidth", "maxHeight"};
constexpr DbField kSettings2Fields[] = {
    DB_FIELD(VcaSettings2, fps, "fps", DbType::I32),
    DB_FIELD(VcaSettings2, mode, "mode", DbType::I32),
    DB_FIELD(VcaSettings2, installation, "installation", DbType::I32),
    DB_FIELD(VcaSettings2, analysis, "analysis", DbType::I32),
    DB_FIELD(VcaSettings2, width, "width", DbType::I32),
    DB_FIELD(VcaSettings2, height, "height", DbType::I32),
};

void on_get_ipc_vca_settings2_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_json(Json(json_object_new_object()));
    return;
  }
  const VcaSettings2 record = nvr::record_at<VcaSettings2>(records, 0);
  Json answer = fields_to_json(kSettings2Fields, &record, sizeof record);
  Json position = nvr::json_new_array();
  for (int i = 0; i < kVcaBoxEntries; ++i) {
    Json entry = nvr::json_new_object();
    for (int j = 0; j < kVcaBoxKeys; ++j)
      nvr::json_add_int(entry.get(), kBoxKeys[j], record.boxes[j][i]);
    nvr::json_add_int(entry.get(), "width", record.width);
    nvr::json_add_int(entry.get(), "height", record.height);
    nvr::json_append(position.get(), std::move(entry));
  }
  nvr::json_add(answer.get(), "position", std::move(position));
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kVcaReplies[] = {
    {vca_reply_of(kReqVcaPeople), sizeof(VcaPeople), on_get_vca_people_cb},
    {vca_reply_of(kReqVcaLine2), sizeof(VcaLine2), on_get_ipc_vca_line2_cb},
    {vca_reply_of(kReqVcaSettings2), sizeof(VcaSettings2), on_get_ipc_vca_settings2_cb},
    {vca_reply_of(kReqVcaLine), sizeof(VcaLine), on_get_vca_line_cb},
    {vca_reply_of(kReqVcaSettings), sizeof(VcaSettings), on_get_vca_settings_cb},
    {vca_reply_of(kReqVcaSupport), sizeof(VcaSupport), on_get_vca_support_cb},
    {vca_reply_of(kReqVcaLeftRemove), sizeof(VcaLeftRemove), on_get_vca_leftremove_cb},
    {vca_reply_of(kReqVcaRegionEntrance), sizeof(VcaMessage), on_get_vca_message_cb<kEntrance>},
    {vca_reply_of(kReqVcaRegionExiting), sizeof(VcaMessage), on_get_vca_message_cb<kExiting>},
    {vca_reply_of(kReqVcaMotion), sizeof(VcaMessage), on_get_vca_message_cb<kMotion>},
    {vca_reply_of(kReqVcaTamper), sizeof(VcaMessage), on_get_vca_message_cb<kTamper>},
    {vca_reply_of(kReqVcaLoitering), sizeof(VcaMessage), on_get_vca_message_cb<kLoitering>},
    {vca_reply_of(kReqVcaHuman), sizeof(VcaMessage), on_get_vca_message_cb<kHuman>},
    {vca_reply_of(kReqSetVcaRegionEntrance), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaRegionExiting), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaMotion), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaTamper), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaLine), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaLoitering), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaHuman), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaPeople), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaSettings), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqClearPeopleCount), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaLeftRemove), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaLine2), sizeof(int32_t), nvr::answer_set_result},
    {vca_reply_of(kReqSetVcaSettings2), sizeof(int32_t), nvr::answer_set_result},
};

void on_vca_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kVcaReplies, header, payload);
}

// ---- the camera-settings routes ---------------------------------------------------------

// A getter: the channel 0..63 (JSON error otherwise), asked and answered by
// the reply; no data or no JSON object: nothing.
void ask_channel(const char* data, const char* key, int32_t request_id) {
  Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), key, &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_vca_ipc_callback, request_id, channel, nvr::Silence::kJson);
}

const MessageEvent& region_row(const char* data) {
  Json request = nvr::parse_request(data);
  return kMessageEvents[nvr::json_int_or(request.get(), "type") == 0 ? kEntrance : kExiting];
}

// A setter of the VCA message record: the request's keys, the region keys,
// the copy text and the dialog, then the camera's answer.
void set_vca_message(const char* data, const MessageEvent& row) {
  Json request = nvr::parse_request(data);
  if (!request) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  json_object* object = request.get();
  VcaMessage message{};
  // Checked wide: 4294967296 must not pass as channel 0.
  const int64_t channel = nvr::json_int_or(object, "chnid");
  if (!in_channels(channel)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  message.channel = static_cast<int32_t>(channel);
  fields_from_json(row.stored, object, &message, sizeof message);
  if (row.region_keys) set_common_info(object, kRegionRecord, &message, message.regions);
  copy_and_dialog(object, message.copyChn, static_cast<int>(nvr::json_int_or(object, "type")));
  nvr::ask_or_answer(on_vca_ipc_callback, row.set_request, message, nvr::Silence::kText);
}

// The setter's request object and channel (0..63). Otherwise: the text
// error (kRespText), or for kRespJson nothing without a JSON object and the
// JSON error for a channel out of range.
Json setter_request(const char* data, int refusal, int32_t* channel) {
  Json request = nvr::parse_request(data);
  // Checked wide, then narrowed: 4294967296 must not pass as channel 0.
  const int64_t wide = nvr::json_int_or(request.get(), "chnid", -1);
  *channel = in_channels(wide) ? static_cast<int32_t>(wide) : -1;
  if (request && *channel >= 0) return request;
  if (request || refusal == kRespText) cgi_error_to_webserver(refusal);
  return nullptr;
}

// ---- the action routes ------------------------------------------------------------------

// "/6148": {"action": [the event's action object]}.
void answer_action_object(int32_t channel, int event) {
  const SmartEventInfo record = record_or_cleared(channel, event);
  const nvr::events::EventSource& source = smart_event_schedule_source(event);
  Json object = nvr::json_new_object();
  nvr::json_add_int(object.get(), "chnid", channel);
  nvr::json_add_int(object.get(), "event", event);
  Json rest = nvr::events::build_action_object(source, channel, &record, kActionAnswerKeys);
  json_object_object_foreach(rest.get(), key, value) {
    nvr::json_add(object.get(), key, Json(json_object_get(value)));
  }
  Json list = nvr::json_new_array();
  nvr::json_append(list.get(), std::move(object));
  Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "action", std::move(list));
  nvr::answer_json(answer);
}

}  // namespace

void on_get_vca_region(char* data) { ask_channel(data, "channel", region_row(data).get_request); }
void on_set_vca_region(char* data) { set_vca_message(data, region_row(data)); }
void on_get_vca_motion(char* data) { ask_channel(data, "channel", kReqVcaMotion); }
void on_set_vca_motion(char* data) { set_vca_message(data, kMessageEvents[kMotion]); }
void on_get_vca_tamper(char* data) { ask_channel(data, "channel", kReqVcaTamper); }
void on_set_vca_tamper(char* data) { set_vca_message(data, kMessageEvents[kTamper]); }
void on_get_vca_loitering(char* data) { ask_channel(data, "channel", kReqVcaLoitering); }
void on_set_vca_loitering(char* data) { set_vca_message(data, kMessageEvents[kLoitering]); }
void on_get_vca_human(char* data) { ask_channel(data, "channel", kReqVcaHuman); }
void on_set_vca_human(char* data) { set_vca_message(data, kMessageEvents[kHuman]); }

void on_get_smart_event_schedule(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  int32_t event = -1;
  if (!request || !nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1) ||
      !nvr::json_read_int(request.get(), "event", &event, 0, kSmartEvents - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  answer_action_object(channel, event);
}

void on_set_smart_event_schedule(char* data) {
  if (data == nullptr || *data == '\0') {
    cgi_error_to_webserver(kRespText);
    return;
  }
  Json request = nvr::parse_request(data);
  if (!request) return;  // not JSON: nothing
  json_object* object = request.get();
  int32_t channel = -1;
  int32_t event = -1;
  if (!nvr::json_read_int(object, "chnid", &channel, 0, kChannels - 1) ||
      !nvr::json_read_int(object, "event", &event, 0, kSmartEvents - 1)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const nvr::events::EventSource& source = smart_event_schedule_source(event);
  int failed = nvr::events::store_action_tables(source, object, channel);
  SmartEventInfo record = record_or_cleared(channel, event);
  if (nvr::events::apply_action_fields(source, object, &record, kScheduleKeys))
    failed |= write_smart_event(db(), &record, event);
  nvr::events::tell_mask(kReqSmartEventChanged, channel_bit(channel));
  nvr::events::answer_stored(failed);
}

void on_set_vca_allrtm_others(char* data) {
  Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* object = request.get();
  const int64_t channel = nvr::json_int_or(object, "channel", -1);
  const int64_t event = nvr::json_int_or(object, "event", -1);
  SmartEventInfo record{};
  if (!in_channels(channel) || event < 0 || event >= kSmartEvents ||
      read_smart_event(db(), &record, static_cast<int32_t>(channel), static_cast<int>(event)) !=
          0) {
    nvr::answer_text("ERROT");
    return;
  }
  static constexpr ActionKey kAlarms[] = {{"triAlarms"}};
  static constexpr ActionKey kTriggers[] = {{"triChannels"}};
  const int64_t type = nvr::json_int_or(object, "type");
  const nvr::events::EventSource& source = smart_event_source(static_cast<int>(event));
  if (type == 0) nvr::events::apply_action_fields(source, object, &record, kAlarms);
  if (type == 1) nvr::events::apply_action_fields(source, object, &record, kTriggers);
  if (write_smart_event(db(), &record, static_cast<int>(event)) != 0) {
    nvr::answer_text("ERROT");
    return;
  }
  nvr::events::tell_mask(kReqSmartEventChanged, channel_bit(static_cast<int32_t>(channel)));
  nvr::answer_text("OK");
}

void on_get_vca_common_para(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !nvr::json_read_int(request.get(), "channel", &channel, 0, kChannels - 1)) return;
  const int64_t event = nvr::json_int_or(request.get(), "type", -1);
  SmartEventInfo record{};
  if (event < 0 || event >= kSmartEvents ||
      read_smart_event(db(), &record, channel, static_cast<int>(event)) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::answer_json(nvr::events::build_action_object(smart_event_source(static_cast<int>(event)),
                                                    channel, &record, kCommonParaKeys));
}

void on_get_vca_line(char* data) { ask_channel(data, "channel", kReqVcaLine); }

void on_set_vca_line(char* data) {
  VcaLine record{};
  Json request = setter_request(data, kRespText, &record.channel);
  if (!request) return;
  json_object* object = request.get();
  const int32_t w = static_cast<int32_t>(nvr::json_int_or(object, "width"));
  const int32_t h = static_cast<int32_t>(nvr::json_int_or(object, "height"));
  record.enable = static_cast<int32_t>(nvr::json_int_or(object, "enable"));
  record.objtype = static_cast<int32_t>(nvr::json_int_or(object, "objtype"));
  json_object* lines = nvr::json_get(object, "line");
  for (size_t i = 0;
       nvr::json_is(lines, json_type_array) && i < json_object_array_length(lines) && i < kVcaLines;
       ++i) {
    json_object* line = json_object_array_get_idx(lines, i);
    const nvr::vca::Segment camera =
        nvr::vca::parse_line_position(w, h, nvr::json_string(line, "position"));
    VcaLinePoints& out = record.lines[i];
    out.startX = camera.start.x;
    out.startY = camera.start.y;
    out.stopX = camera.stop.x;
    out.stopY = camera.stop.y;
    out.direction = static_cast<int32_t>(nvr::json_int_or(line, "direction"));
  }
  copy_and_dialog(object, record.copyChn, 4);
  nvr::ask_or_answer(on_vca_ipc_callback, kReqSetVcaLine, record, nvr::Silence::kText);
}

void on_get_vca_settings(char* data) { ask_channel(data, "channel", kReqVcaSettings); }

void on_set_vca_settings(char* data) {
  VcaSettings record{};
  Json request = setter_request(data, kRespJson, &record.channel);
  if (!request) return;
  json_object* object = request.get();
  fields_from_json(kSettingsStored, object, &record, sizeof record);
  json_object* position = nvr::json_get(object, "position");
  json_object* box =
      nvr::json_is(position, json_type_array) && json_object_array_length(position) > 0
          ? json_object_array_get_idx(position, 0)
          : nullptr;
  record.min = camera_box(box, "min", record.width, record.height);
  record.max = camera_box(box, "max", record.width, record.height);
  nvr::ask_or_answer(on_vca_ipc_callback, kReqSetVcaSettings, record, nvr::Silence::kJson);
}

void on_vca_clear_people_count(char* data) {
  Json request = nvr::parse_request(data);
  if (!request) return;
  VcaClearPeople record{};
  if (!nvr::json_read_int(request.get(), "channel", &record.channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  record.line = static_cast<int32_t>(nvr::json_int_or(request.get(), "line"));
  record.resetdb = static_cast<int32_t>(nvr::json_int_or(request.get(), "resetdb"));
  nvr::ask_or_answer(on_vca_ipc_callback, kReqClearPeopleCount, record, nvr::Silence::kJson);
}

void on_get_vca_support(char* data) { ask_channel(data, "channel", kReqVcaSupport); }

void on_get_vca_leftremove(char* data) { ask_channel(data, "channel", kReqVcaLeftRemove); }

void on_set_vca_leftremove(char* data) {
  VcaLeftRemove record{};
  Json request = setter_request(data, kRespJson, &record.channel);
  if (!request) return;
  json_object* object = request.get();
  fields_from_json(kLeftRemoveStored, object, &record, sizeof record);
  set_common_info(object, kLeftRemoveRegionRecord, &record, record.regions);
  copy_and_dialog(object, record.copyChn, 8);
  nvr::ask_or_answer(on_vca_ipc_callback, kReqSetVcaLeftRemove, record, nvr::Silence::kJson);
}

void on_get_vca_people(char* data) { ask_channel(data, "channel", kReqVcaPeople); }

void on_set_vca_people(char* data) {
  // The record is large: kept off the stack.
  auto record = std::make_unique<VcaPeople>();
  Json request = setter_request(data, kRespText, &record->channel);
  if (!request) return;
  json_object* object = request.get();
  fields_from_json(kPeopleFields, object, record.get(), sizeof *record);
  fill_ints(nvr::json_get(object, "totalAlarmThreshold"), record->totalAlarmThreshold, 4);
  json_object* positions = nvr::json_get(object, "position");
  json_object* thresholds = nvr::json_get(object, "alarmThreshold");
  bool any_line = false;
  for (size_t i = 0; i < kVcaLines; ++i) {
    VcaCountLine& line = record->lines[i];
    for (const LineKey& key : kCountLineKeys)
      set_line_value(line, key, element_int(object, key.key, i));
    if (nvr::json_is(positions, json_type_array) && i < json_object_array_length(positions)) {
      json_object* text = json_object_array_get_idx(positions, i);
      const nvr::vca::Segment s = nvr::vca::parse_position(
          nvr::json_is(text, json_type_string) ? json_object_get_string(text) : "");
      line.startX = s.start.x;
      line.startY = s.start.y;
      line.stopX = s.stop.x;
      line.stopY = s.stop.y;
    }
    if (nvr::json_is(thresholds, json_type_array) && i < json_object_array_length(thresholds))
      fill_ints(json_object_array_get_idx(thresholds, i), line.alarmThreshold, 4);
    any_line |= line.lineEnable != 0;
  }
  get_schedule_by_json_ipc(object, "effective", &record->effective);
  // The event is armed while any counting line is on.
  SmartEventInfo event = record_or_cleared(record->channel, kPeopleCountEvent);
  event.enable = any_line ? 1 : 0;
  if (write_smart_event(db(), &event, kPeopleCountEvent) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  copy_and_dialog(object, record->copyChn, kPeopleCountEvent);
  nvr::ask_or_answer(on_vca_ipc_callback, kReqSetVcaPeople, record.get(),
                     static_cast<int32_t>(sizeof *record), nvr::Silence::kText);
}

void on_get_ipc_vca_line2(char* data) { ask_channel(data, "chnid", kReqVcaLine2); }

void on_set_ipc_vca_line2(char* data) {
  VcaLine2 record{};
  Json request = setter_request(data, kRespText, &record.channel);
  if (!request) return;
  json_object* object = request.get();
  record.sensitivity = static_cast<int32_t>(nvr::json_int_or(object, "sensitivity"));
  record.width = static_cast<int32_t>(nvr::json_int_or(object, "width"));
  record.height = static_cast<int32_t>(nvr::json_int_or(object, "height"));
  record.lineType = static_cast<int32_t>(nvr::json_int_or(object, "lineType"));
  record.lineScene = static_cast<int32_t>(nvr::json_int_or(object, "lineScene"));
  json_object* lines = nvr::json_get(object, "line");
  for (size_t i = 0;
       nvr::json_is(lines, json_type_array) && i < json_object_array_length(lines) && i < kVcaLines;
       ++i) {
    json_object* line = json_object_array_get_idx(lines, i);
    const nvr::vca::Segment camera = nvr::vca::parse_line_position(
        record.width, record.height, nvr::json_string(line, "position"));
    VcaLine2Entry& out = record.lines[i];
    out.enable = static_cast<int32_t>(nvr::json_int_or(line, "enable"));
    out.objtype = static_cast<int32_t>(nvr::json_int_or(line, "objtype"));
    out.direction = static_cast<int32_t>(nvr::json_int_or(line, "direction"));
    out.startX = camera.start.x;
    out.startY = camera.start.y;
    out.stopX = camera.stop.x;
    out.stopY = camera.stop.y;
  }
  copy_and_dialog(object, record.copyChn, 4);
  nvr::ask_or_answer(on_vca_ipc_callback, kReqSetVcaLine2, record, nvr::Silence::kText);
}

void on_get_ipc_vca_settings2(char* data) { ask_channel(data, "channel", kReqVcaSettings2); }

void on_set_ipc_vca_settings2(char* data) {
  VcaSettings2 record{};
  Json request = setter_request(data, kRespJson, &record.channel);
  if (!request) return;
  json_object* object = request.get();
  fields_from_json(kSettings2Fields, object, &record, sizeof record);
  nvr::json_copy_string(object, "copyChn", record.copyChn, sizeof record.copyChn);
  json_object* position = nvr::json_get(object, "position");
  for (size_t i = 0; nvr::json_is(position, json_type_array) &&
                     i < json_object_array_length(position) && i < kVcaBoxEntries;
       ++i) {
    json_object* entry = json_object_array_get_idx(position, i);
    for (int j = 0; j < kVcaBoxKeys; ++j)
      record.boxes[j][i] = static_cast<int32_t>(nvr::json_int_or(entry, kBoxKeys[j]));
  }
  nvr::ask_or_answer(on_vca_ipc_callback, kReqSetVcaSettings2, record, nvr::Silence::kJson);
}
