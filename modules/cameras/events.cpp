// Camera-side events kept on the recorder: the effective schedules of the
// motion and smart events, people counting (groups and what they trigger),
// POS devices, the report auto backup and the face capture configuration.
// Actions go through the shared action object (modules/video/event_actions.h).
#include <algorithm>
#include <cstring>
#include <memory>
#include <span>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/json_codecs.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "modules/video/event_actions.h"
#include "modules/video/event_routes.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"
#include "platform/qvdb_schedule.h"

namespace {

using nvr::Json;
using nvr::events::ActionKey;
using nvr::events::EventSource;

const char* db() { return nvr::qvdb_path(); }

constexpr int32_t kPosPtzEventType = 21;

// ---- event sources ---------------------------------------------------------------------------

// People counting has no arming schedule of its own: its answers show the
// audible schedule as "effective", and a request's "effective" is not stored.
// Its white LED entries are kept in its own table (see whiteInfo below).
const EventSource kPeoplecntSource = {
    &kPeoplecntEventRecord,
    nullptr,
    "peoplecnt_audible_schedule",
    "peoplecnt_audible_schedule",
    "peoplecnt_email_schedule",
    "peoplecnt_ptz_schedule",
    "peoplecnt_wled_schedule",
    nullptr,
    "people_cnt_http_notification_sche",
    nullptr,
    nullptr,
    "people_cnt_http_notification_params",
    kPeoplecntPtzEventType,
};
const EventSource kPeoplecntStoreSource = [] {
  EventSource source = kPeoplecntSource;
  source.effective = nullptr;
  return source;
}();

const EventSource kPosSource = {
    &kActionEventRecord,
    nullptr,
    "pos_effective_schedule",
    "pos_audible_schedule",
    "pos_email_schedule",
    "pos_ptz_schedule",
    "pos_whiteled_schedule",
    nullptr,
    "pos_http_notification_sche",
    "pos_whiteled_params",
    nullptr,
    "pos_http_notification_params",
    kPosPtzEventType,
};

const EventSource kFaceSource = {
    &kActionEventRecord,
    "face_event",
    "face_effective_schedule",
    "face_audible_schedule",
    "face_mail_schedule",
    "face_ptz_schedule",
    "face_whiteled_schedule",
    nullptr,
    "face_http_notification_sche",
    "face_whiteled_params",
    nullptr,
    "face_http_notification_params",
    -1,
};

// ---- small shapes
// --------------------------------------------------------------------------------

void refuse_json() { cgi_error_to_webserver(kRespJson); }

// Adds every member of `part` to `object`, in order.
void append_members(json_object* object, const Json& part) {
  json_object_object_foreach(part.get(), key, value) {
    json_object_object_add(object, key, json_object_get(value));
  }
}

// The integer `key` of the request within 0..max; false for unparsable data
// or another value.
bool read_index(const Json& request, const char* key, int32_t max, int32_t* index) {
  return request && nvr::json_read_int(request.get(), key, index, 0, max);
}

// ---- effective schedules ---------------------------------------------------------------------

struct EffectiveKind {
  const char* key;    // the request and answer key
  const char* table;  // where the schedule is kept, by channel
};
// Kinds 1..8 are the smart events 0..7, kept where the smart-event dialog keeps them.
constexpr EffectiveKind kEffectiveKinds[] = {
    {"schedule_motion", "motion_effective_schedule"},
    {"schedule_region_entrance", "vca_event0_effective_schedule"},
    {"schedule_region_exit", "vca_event1_effective_schedule"},
    {"schedule_advanced_motion", "vca_event2_effective_schedule"},
    {"schedule_tamper_detection", "vca_event3_effective_schedule"},
    {"schedule_line_crossing", "vca_event4_effective_schedule"},
    {"schedule_loitering", "vca_event5_effective_schedule"},
    {"schedule_human_detection", "vca_event6_effective_schedule"},
    {"schedule_people_counting", "vca_event7_effective_schedule"},
};
constexpr int kEffectiveKindCount = static_cast<int>(std::size(kEffectiveKinds));

Json slot_text(const char* text, size_t size) {
  return text[0] == '\0' ? nvr::json_new_string("00:00") : nvr::json_new_string_bounded(text, size);
}

// 8 days of 12 slots; an empty time reads "00:00".
Json effective_schedule_json(const ScheduleBlock& block) {
  Json days = nvr::json_new_array();
  for (const ScheduleDay& day : block.days) {
    Json slots = nvr::json_new_array();
    for (int s = 0; s < kScheduleJsonSlots; ++s) {
      const ScheduleSlot& slot = day.slots[s];
      Json item = nvr::json_new_object();
      nvr::json_add(item.get(), "startTime", slot_text(slot.startTime, sizeof slot.startTime));
      nvr::json_add(item.get(), "endTime", slot_text(slot.endTime, sizeof slot.endTime));
      nvr::json_add_int(item.get(), "actionType", slot.actionType);
      nvr::json_append(slots.get(), std::move(item));
    }
    nvr::json_append(days.get(), std::move(slots));
  }
  return days;
}

// ---- people counting
// -----------------------------------------------------------------------------

constexpr ActionKey kPeoplecntHeadKeys[] = {
    {"chnid"},
    {"triAlarms"},
    {"interval"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"white_interval"},
    {"effective"},
    {"audible"},
    {"email"},
    {"ptz"},
    {"triChnAlarms"},
    {"white"},
};
constexpr ActionKey kPeoplecntTailKeys[] = {{"audioId"}, {"audioIdMask"}, {"ptzParams"}};
// The record keys a change stores.
constexpr ActionKey kPeoplecntRecordKeys[] = {
    {"triAlarms"},        {"interval"},     {"email_interval"},    {"email_pic_enable"},
    {"tri_channels_pic"}, {"ptz_interval"}, {"alarmout_interval"}, {"white_interval"},
    {"triChnAlarms"},     {"audioId"},
};

PeoplecntEvent read_peoplecnt_event(int32_t group) {
  PeoplecntEvent event{};
  nvr::events::read_event_record(kPeoplecntSource, &event, group);
  event.chnid = group;
  return event;
}

// The action object of a group; the dialog form adds the PTZ actions.
Json peoplecnt_action_object(int32_t group, bool dialog) {
  const PeoplecntEvent event = read_peoplecnt_event(group);
  Json object =
      nvr::events::build_action_object(kPeoplecntSource, group, &event, kPeoplecntHeadKeys);
  nvr::json_add(object.get(), "whiteInfo", get_pcnt_white_params_json_object(group));
  const std::span<const ActionKey> tail(kPeoplecntTailKeys, dialog ? 3 : 2);
  append_members(object.get(),
                 nvr::events::build_action_object(kPeoplecntSource, group, &event, tail));
  return object;
}

void read_groups(PeoplecntSetting (&groups)[kPeoplecntGroups]) {
  for (int i = 0; i < kPeoplecntGroups; ++i) groups[i].groupid = i;
  read_peoplecnt_settings(db(), groups);
}

// ---- POS and face actions
// ------------------------------------------------------------------------

constexpr ActionKey kPosActionKeys[] = {
    {"effective"},
    {"audible"},
    {"interval"},
    {"audioId"},
    {"email"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz"},
    {"ptz_interval"},
    {"ptzParams"},
    {"white"},
    {"whiteInfo"},
    {"white_interval"},
    {"httpSche"},
    {"httpParams"},
    {"http_notification_interval"},
    {"triChnAlarms"},
    {"alarmout_interval"},
    {"triAlarms"},
    {"triChannels"},
};
constexpr ActionKey kActionRecordKeys[] = {
    {"interval"},         {"audioId"},           {"email_interval"}, {"email_pic_enable"},
    {"tri_channels_pic"}, {"ptz_interval"},      {"white_interval"}, {"http_notification_interval"},
    {"triChnAlarms"},     {"alarmout_interval"}, {"triAlarms"},      {"triChannels"},
};

// Stores what `action` carries for event index `index` of `source`: schedules,
// parameter sets, PTZ actions (when the source has them) and the event record.
// 0, or -1 when a write failed.
int store_event_actions(const EventSource& source, json_object* action, int32_t index) {
  int failed = nvr::events::store_action_tables(source, action, index);
  if (source.ptz_event_type >= 0)
    set_ptz_params_by_json(index, source.ptz_event_type, nvr::json_get(action, "ptzParams"));
  ActionEvent event{};
  nvr::events::read_event_record(source, &event, index);
  event.id = index;
  nvr::events::apply_action_fields(source, action, &event, kActionRecordKeys);
  failed |= nvr::events::write_event_record(source, &event);
  return failed ? -1 : 0;
}

void read_pos_devices(PosSetting (&devices)[kPosDevices]) {
  for (int i = 0; i < kPosDevices; ++i) devices[i].id = i;
  read_pos_settings(db(), devices);
}

// ---- face capture
// ----------------------------------------------------------------------------------

constexpr DbField kFaceConfigFields[] = {
    DB_FIELD(FaceConfig, chnId, "chnId", DbType::I32),
    DB_FIELD(FaceConfig, enable, "enable", DbType::I32),
    DB_FIELD(FaceConfig, width, "width", DbType::I32),
    DB_FIELD(FaceConfig, height, "height", DbType::I32),
    DB_FIELD(FaceConfig, minPixel, "minPixel", DbType::I32),
    DB_FIELD(FaceConfig, captureMode, "captureMode", DbType::I32),
    DB_FIELD(FaceConfig, snapshotType, "snapshotType", DbType::I32),
    DB_FIELD(FaceConfig, snapshotInterval, "snapshotInterval", DbType::I32),
    DB_FIELD(FaceConfig, snapshotBackground, "snapshotBackground", DbType::I32),
    DB_FIELD(FaceConfig, poseYaw, "poseYaw", DbType::I32),
    DB_FIELD(FaceConfig, poseRoll, "poseRoll", DbType::I32),
    DB_FIELD(FaceConfig, posePitch, "posePitch", DbType::I32),
    DB_FIELD(FaceConfig, blurLimit, "blurLimit", DbType::I32),
    DB_FIELD(FaceConfig, detection_polygonX, "detection_polygonX", DbType::I32),
    DB_FIELD(FaceConfig, detection_polygonY, "detection_polygonY", DbType::I32),
    DB_FIELD(FaceConfig, uploadEnable, "uploadEnable", DbType::I32),
    DB_FIELD(FaceConfig, uploadFileType, "uploadFileType", DbType::I32),
    DB_FIELD(FaceConfig, nasEnable, "nasEnable", DbType::I32),
    DB_FIELD(FaceConfig, nasFileType, "nasFileType", DbType::I32),
    DB_FIELD(FaceConfig, emailEnable, "emailEnable", DbType::I32),
    DB_FIELD(FaceConfig, emailFileType, "emailFileType", DbType::I32),
    DB_FIELD(FaceConfig, httpEnable, "httpEnable", DbType::I32),
    DB_FIELD(FaceConfig, httpNotifyInterval, "httpNotifyInterval", DbType::I32),
    DB_FIELD(FaceConfig, httpUrl, "httpUrl", DbType::Text),
    DB_FIELD(FaceConfig, httpUser, "httpUser", DbType::Text),
    DB_FIELD(FaceConfig, httpPassword, "httpPassword", DbType::Text),
    DB_FIELD(FaceConfig, recordSeconds, "recordSeconds", DbType::I32),
    DB_FIELD(FaceConfig, prerecordSeconds, "prerecordSeconds", DbType::I32),
    DB_FIELD(FaceConfig, postEnable, "postEnable", DbType::I32),
    DB_FIELD(FaceConfig, postType, "postType", DbType::I32),
    DB_FIELD(FaceConfig, attributeEnable, "attributeEnable", DbType::I32),
    DB_FIELD(FaceConfig, attributeType, "attributeType", DbType::I32),
    DB_FIELD(FaceConfig, mosaicEnable, "mosaicEnable", DbType::I32),
    DB_FIELD(FaceConfig, mosaicModeStatus, "mosaicModeStatus", DbType::I32),
    DB_FIELD(FaceConfig, mutuallyExclusive, "mutuallyExclusive", DbType::I32),
    DB_FIELD(FaceConfig, shield, "shield", DbType::I32),
    DB_FIELD(FaceConfig, captureModeArray, "captureModeArray", DbType::I32),
    DB_FIELD(FaceConfig, captureQuality, "captureQuality", DbType::I32),
};

}  // namespace

// The request layout of the face configuration (also for the simulator and tests).
const DbRecord kFaceConfigLayout{"face_config", nullptr, sizeof(FaceConfig), kFaceConfigFields};

// ---- effective schedules ---------------------------------------------------------------------

void on_get_effective_schedules(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!read_index(request, "channel", kCameraChannels - 1, &channel)) return;
  Json answer = nvr::json_new_object();
  for (const EffectiveKind& kind : kEffectiveKinds) {
    const ScheduleBlock block = nvr::events::read_schedule(kind.table, channel);
    nvr::json_add(answer.get(), kind.key, effective_schedule_json(block));
  }
  nvr::answer_json(answer);
}

void on_set_effective_schedules(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!read_index(request, "channel", kCameraChannels - 1, &channel)) return;
  const int64_t start = std::max<int64_t>(nvr::json_int_or(request.get(), "start", 0), 0);
  const int64_t end =
      std::min<int64_t>(nvr::json_int_or(request.get(), "end", 0), kEffectiveKindCount - 1);
  auto block = std::make_unique<ScheduleBlock>();
  int failed = 0;
  for (int64_t kind = start; kind <= end; ++kind) {
    const EffectiveKind& k = kEffectiveKinds[kind];
    if (get_schedule_by_json(request.get(), k.key, block.get()) != 0) continue;
    failed |= db_write_schedule(db(), k.table, channel, block.get());
  }
  nvr::events::answer_stored(failed ? -1 : 0);
}

// ---- people counting
// -----------------------------------------------------------------------------

void on_cgi_get_peoplecnt_settings(char* data) {
  Json request = nvr::parse_request(data);
  if (!request) return refuse_json();
  const bool dialog = nvr::json_int_or(request.get(), "action", 0) != 0;
  PeoplecntSetting groups[kPeoplecntGroups] = {};
  read_groups(groups);
  Json list = nvr::json_new_array();
  for (int i = 0; i < kPeoplecntGroups; ++i) {
    Json group(db_record_to_json(kPeoplecntSettingRecord, &groups[i]));
    if (dialog) nvr::json_add(group.get(), "dialog", peoplecnt_action_object(i, true));
    nvr::json_append(list.get(), std::move(group));
  }
  Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "groups", std::move(list));
  nvr::answer_json(answer);
}

void on_cgi_set_peoplecnt_settings(char* data) {
  Json request = nvr::parse_request(data);
  json_object* list = nvr::json_get(request.get(), "groups");
  if (!nvr::json_is(list, json_type_array)) return refuse_json();
  PeoplecntSetting groups[kPeoplecntGroups] = {};
  read_groups(groups);
  for (size_t i = 0; i < nvr::json_array_size(list) && i < kPeoplecntGroups; ++i) {
    db_record_from_json(kPeoplecntSettingRecord, nvr::json_at(list, i), &groups[i]);
    groups[i].groupid = static_cast<int32_t>(i);  // element i is group i
  }
  if (write_peoplecnt_settings(db(), groups, kPeoplecntGroups) != 0) return refuse_json();
  nvr::ask_or_answer(on_camera_ipc_callback, kReqPeoplecntSettings, ResultWord{0},
                     nvr::Silence::kJson);
}

void on_cgi_get_peoplecnt_action(char* data) {
  Json request = nvr::parse_request(data);
  int32_t group = -1;
  if (!read_index(request, "groupid", kPeoplecntGroups - 1, &group)) return refuse_json();
  nvr::answer_json(peoplecnt_action_object(group, false));
}

void on_cgi_set_peoplecnt_action(char* data) {
  Json request = nvr::parse_request(data);
  int32_t group = -1;
  if (!read_index(request, "groupid", kPeoplecntGroups - 1, &group)) return refuse_json();
  json_object* r = request.get();
  int failed = nvr::events::store_action_tables(kPeoplecntStoreSource, r, group);
  WhiteLedParam entries[kActionParamEntries] = {};
  if (get_pcnt_white_params_by_json(group, entries, r, "whiteInfo") == 0)
    failed |= write_peoplecnt_wled_params_all(db(), group, entries);
  set_ptz_params_by_json(group, kPeoplecntPtzEventType, nvr::json_get(r, "ptzParams"));
  PeoplecntEvent event = read_peoplecnt_event(group);
  if (nvr::events::apply_action_fields(kPeoplecntSource, r, &event, kPeoplecntRecordKeys))
    failed |= nvr::events::write_event_record(kPeoplecntSource, &event);
  if (failed) return refuse_json();
  nvr::ask_or_answer(on_camera_ipc_callback, kReqPeoplecntAction, PeoplecntActionNotice{group, 0},
                     nvr::Silence::kJson);
}

// ---- POS
// -----------------------------------------------------------------------------------------

void on_cgi_get_pos_info(char* data) {
  Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!read_index(request, "id", kPosDevices - 1, &id)) return refuse_json();
  PosSetting devices[kPosDevices] = {};
  read_pos_devices(devices);
  Json list = nvr::json_new_array();
  for (const PosSetting& device : devices)
    nvr::json_append(list.get(), Json(db_record_to_json(kPosSettingRecord, &device)));
  ActionEvent event{};
  nvr::events::read_event_record(kPosSource, &event, id);
  Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "pos", std::move(list));
  nvr::json_add(answer.get(), "action",
                nvr::events::build_action_object(kPosSource, id, &event, kPosActionKeys));
  nvr::answer_json(answer);
}

void on_cgi_set_pos_info(char* data) {
  Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!read_index(request, "id", kPosDevices - 1, &id)) return refuse_json();
  int failed = store_event_actions(kPosSource, nvr::json_get(request.get(), "action"), id);
  PosSetting device{};
  read_pos_setting(db(), &device, id);
  json_object* pos = nvr::json_get(request.get(), "pos");
  // The device's settings: an object, or the list as the read answers it.
  if (nvr::json_is(pos, json_type_array)) pos = nvr::json_at(pos, static_cast<size_t>(id));
  if (nvr::json_is(pos, json_type_object)) db_record_from_json(kPosSettingRecord, pos, &device);
  device.id = id;
  failed |= write_pos_setting(db(), &device);
  if (failed) return refuse_json();
  nvr::ask_or_answer(on_camera_ipc_callback, kReqPosChanged, ChannelWord{id}, nvr::Silence::kJson);
}

// ---- report auto backup
// ----------------------------------------------------------------------------

void on_cgi_get_report_auto_backup(char*) {
  ReportBackup reports[kReportBackups] = {};
  for (int i = 0; i < kReportBackups; ++i) reports[i].reportType = i;
  read_peoplecnt_auto_backup(db(), reports);
  Json list = nvr::json_new_array();
  for (const ReportBackup& report : reports)
    nvr::json_append(list.get(), Json(db_record_to_json(kReportBackupRecord, &report)));
  Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "report", std::move(list));
  nvr::json_add_int(answer.get(), "email", 1);
  nvr::answer_json(answer);
}

void on_cgi_set_report_auto_backup(char* data) {
  Json request = nvr::parse_request(data);
  json_object* list = nvr::json_get(request.get(), "report");
  if (!nvr::json_is(list, json_type_array)) return refuse_json();
  ReportBackup reports[kReportBackups] = {};
  for (int i = 0; i < kReportBackups; ++i) reports[i].reportType = i;
  read_peoplecnt_auto_backup(db(), reports);
  for (size_t i = 0; i < nvr::json_array_size(list) && i < kReportBackups; ++i) {
    db_record_from_json(kReportBackupRecord, nvr::json_at(list, i), &reports[i]);
    reports[i].reportType = static_cast<int32_t>(i);  // element i is report i
  }
  if (write_peoplecnt_auto_backup(db(), reports, kReportBackups) != 0) return refuse_json();
  nvr::ask_or_answer(on_camera_ipc_callback, kReqReportBackup, ResultWord{0}, nvr::Silence::kJson);
}

void on_cgi_set_report_auto_backup_cb(uint32_t count, const void*) {
  if (count < 1) return;
  Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", 0);
  nvr::answer_json(answer);
}

// ---- face capture
// ------------------------------------------------------------------------------------

void on_cgi_set_face_config(char* data) {
  Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!read_index(request, "chnId", kCameraChannels - 1, &channel)) return refuse_json();
  if (store_event_actions(kFaceSource, nvr::json_get(request.get(), "action"), channel) != 0)
    return refuse_json();
  nvr::tell_daemon(kReqFaceEvent, ChannelWord{channel});
  auto config = std::make_unique<FaceConfig>();
  db_record_from_json(kFaceConfigLayout, request.get(), config.get());
  nvr::ask_or_answer(on_camera_ipc_callback, kReqFaceConfig, *config, nvr::Silence::kJson);
}
