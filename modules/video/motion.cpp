// Motion detection: the channel's settings and its action object, the
// schedules of its actions, its PTZ reactions, the camera's own motion map,
// and copies of a channel's configuration to other channels.
#include <cstdio>
#include <cstring>

#include "frame/json_codecs.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/video/event_actions.h"
#include "modules/video/event_routes.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"

namespace {

using nvr::events::ActionKey;
using nvr::events::kChannels;

constexpr int32_t kLogParamMotion = 909;

const char* db() { return nvr::qvdb_path(); }

constexpr ActionKey kMotionAnswerKeys[] = {
    {"chnid"},
    {"enable"},
    {"sensitivity"},
    {"triChannels"},
    {"triAlarms"},
    {"interval"},
    {"enableQV"},
    {"motionTable"},
    {"email_enable"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"http_notification_interval"},
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
    {"httpSche"},
    {"httpParams"},
    {"audioId"},
    {"audioIdMask"},
    {"ptzParams"},
};

// The record keys of the dialog; "/6117" takes all but the HTTP interval.
constexpr ActionKey kMotionDialogKeys[] = {
    {"triChnAlarms"},     {"enable"},
    {"triAlarms"},        {"interval"},
    {"audioId"},          {"email_interval"},
    {"email_pic_enable"}, {"tri_channels_pic"},
    {"ptz_interval"},     {"alarmout_interval"},
    {"white_interval"},   {"warning_light_interval"},
    {"triChannels"},      {"http_notification_interval"},
};
constexpr std::span<const ActionKey> kMoveActionKeys(kMotionDialogKeys,
                                                     std::size(kMotionDialogKeys) - 1);

// ---- camera-side motion ---------------------------------------------------------------

// The camera schedule block: the whole day, every day.
CameraSchedule all_day_schedule(int32_t channel) {
  CameraSchedule block{};
  block.channel = channel;
  for (int d = 0; d < 7; ++d) {
    block.days[d].day = d;
    block.days[d].flag = 1;
    for (int s = 0; s < 4; ++s) block.days[d].slots[s] = {{0, 0, 24, 0}};
  }
  return block;
}

// The camera motion switch; when on, the camera detects all day.
void tell_camera_switch(int32_t channel, int32_t enable_qv) {
  CameraMotionSwitch request{};
  request.channel = channel;
  request.enable = enable_qv == 1 ? 1 : 0;
  nvr::tell_daemon(kReqCameraMotionSwitch, request);
  if (enable_qv == 1) nvr::tell_daemon(kReqCameraMotionSchedule, all_day_schedule(channel));
}

void on_get_motion_map_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_text("CGI ERROR");
    return;
  }
  const CameraMotion map = nvr::record_at<CameraMotion>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "map", nvr::json_new_string_bounded(map.map, sizeof map.map));
  nvr::json_add_int(answer.get(), "sensitivity", map.sensitivity);
  nvr::json_add_int(answer.get(), "result", map.result);
  nvr::json_add_int(answer.get(), "enable", map.enable);
  nvr::json_add_int(answer.get(), "modelType", map.modelType);
  nvr::json_add_int(answer.get(), "fishdisplay", map.fishdisplay);
  nvr::json_add_int(answer.get(), "fishtransfer", map.fishtransfer);
  nvr::json_add_int(answer.get(), "fishinstall", map.fishinstall);
  nvr::json_add_int(answer.get(), "enableAI", map.enableAI);
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kVideoReplies[] = {
    {kReplyCameraMotionMap, sizeof(CameraMotion), on_get_motion_map_cb},
};

// ---- the record --------------------------------------------------------------------------

MotionInfo read_channel(int32_t channel) {
  MotionInfo record{};
  read_motion(db(), &record, channel);
  return record;
}

// The channel of a route that refuses anything outside 0..63.
bool read_channel_key(json_object* request, const char* key, int32_t* channel) {
  return nvr::json_read_int(request, key, channel, 0, kChannels - 1);
}

int32_t int_or_zero(json_object* request, const char* key) {
  int32_t value = 0;
  nvr::json_read_int(request, key, &value);
  return value;
}

// What "/6012" needs, all present and in range.
struct MotionBasics {
  int32_t camId, enable, sensitivity, triAlarms, interval, enableQV;
};
constexpr nvr::PolicyRow kMotionBasicsPolicy[] = {
    NVR_POLICY_INT(MotionBasics, camId, "camId", 0, 63, nvr::Presence::kRequired),
    NVR_POLICY_INT(MotionBasics, enable, "enable", 0, 2, nvr::Presence::kRequired),
    NVR_POLICY_INT(MotionBasics, sensitivity, "sensitivity", 0, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(MotionBasics, triAlarms, "triAlarms", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(MotionBasics, interval, "interval", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(MotionBasics, enableQV, "enableQV", INT32_MIN, INT32_MAX,
                   nvr::Presence::kRequired),
};

void log_channel_change(int32_t channel) {
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamMotion, nvr::log_channel(channel));
}

// The read-modify-write of "/6113" and "/6114": the basics every one sets.
void set_common_basics(json_object* request, MotionInfo* record, int32_t channel) {
  record->chnid = channel;
  record->sensitivity = int_or_zero(request, "sensitivity");
  record->enableQV = int_or_zero(request, "enableQV");
  record->triAlarms = int_or_zero(request, "triAlarms");
  record->interval = int_or_zero(request, "interval");
}

// ---- the dialog ------------------------------------------------------------------------------

// Stores the action object of the dialog for `channel`: the action tables,
// the record fields present and the PTZ entries. 0, or -1 when a write failed.
int save_motion_dialog_data(json_object* dialog, int32_t channel) {
  DbBatch batch(db());
  int failed = nvr::events::store_action_tables(kMotionSource, dialog, channel);
  MotionInfo record = read_channel(channel);
  bool changed =
      nvr::events::apply_action_fields(kMotionSource, dialog, &record, kMotionDialogKeys);
  changed |= nvr::events::store_ptz_actions(dialog);
  if (changed) {
    record.chnid = channel;
    failed |= write_motion(db(), &record);
  }
  if (failed != 0 || batch.commit() != 0) return -1;
  return 0;
}

// Appends the copy channels in ascending order to a further-channel list.
int32_t list_channels(uint64_t mask, int32_t* further) {
  int32_t count = 0;
  for (int i = 0; i < kChannels; ++i)
    if (mask >> i & 1) further[count++] = i;
  return count;
}

int copy_motion_config(int32_t channel, uint64_t mask, json_object* request) {
  if (mask == 0) return 0;
  DbBatch batch(db());
  MotionInfo record = read_channel(channel);
  record.sensitivity = int_or_zero(request, "sensitivity");
  record.enableQV = int_or_zero(request, "enableQV");
  int failed = copy_motions(db(), &record, mask);
  failed |= nvr::events::copy_action_tables(kMotionSource, channel, mask);
  if (failed != 0 || batch.commit() != 0) return -1;
  return 0;
}

void tell_camera_copy(int32_t channel, uint64_t mask, json_object* request) {
  const int32_t enable_qv = int_or_zero(request, "enableQV");
  CameraMotionCopy copy{};
  snprintf(
      copy.map, sizeof copy.map, "%s",
      nvr::json_string(request, "motionTable") ? nvr::json_string(request, "motionTable") : "");
  copy.sensitivity = int_or_zero(request, "sensitivity");
  copy.channel = channel;
  copy.enable = enable_qv == 1 ? 1 : 0;
  copy.enableAI = int_or_zero(request, "enableAI");
  copy.detection = int_or_zero(request, "detection");
  copy.count = list_channels(mask, copy.further);

  CameraMotionSwitch camera_switch{};
  camera_switch.channel = channel;
  camera_switch.enable = copy.enable;
  camera_switch.count = list_channels(mask, camera_switch.further);

  CameraSchedule schedule = all_day_schedule(0);
  int32_t further[kChannels] = {};
  const int32_t count = list_channels(mask, further);
  auto* bytes = reinterpret_cast<unsigned char*>(&schedule);
  memcpy(bytes + kScheduleFurtherOffset, further, sizeof further);
  memcpy(bytes + kScheduleFurtherCountOffset, &count, sizeof count);

  nvr::tell_daemon(kReqCameraMotionCopy, copy);
  nvr::events::tell_mask(kReqMotionCopied, mask);
  nvr::tell_daemon(kReqCameraMotionSwitch, camera_switch);
  if (enable_qv == 1) nvr::tell_daemon(kReqCameraScheduleCopy, schedule);
}

// ---- PTZ action entries ------------------------------------------------------------------

// The entry of a request: the number that belongs to the action type, the
// others 0.
PtzActionParam ptz_entry_of(json_object* request, int32_t source) {
  PtzActionParam entry{};
  entry.chn_id = source;
  entry.acto_ptz_channel = int_or_zero(request, "acto_ptz_channel");
  entry.acto_ptz_type = int_or_zero(request, "acto_ptz_type");
  switch (entry.acto_ptz_type) {
    case 1:
      entry.acto_ptz_preset = int_or_zero(request, "acto_ptz_preset");
      break;
    case 2:
      entry.acto_ptz_patrol = int_or_zero(request, "acto_ptz_patrol");
      break;
    case 3:
      entry.acto_ptz_pattern = int_or_zero(request, "acto_ptz_pattern");
      break;
    default:
      break;
  }
  return entry;
}

// The PTZ routes: a request with `type` and a source channel 0..63; anything
// else answers the text error.
nvr::Json ptz_request(const char* data, int32_t* type, int32_t* source) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return nullptr;
  *type = int_or_zero(request.get(), "type");
  if (!read_channel_key(request.get(), "chn_id", source)) {
    cgi_error_to_webserver(kRespText);
    return nullptr;
  }
  return request;
}

const nvr::events::ScheduleRoute kMoveEffective{"motion_effective_schedule", kChannels,
                                                kReqMotionChanged};
const nvr::events::ScheduleRoute kMoveEmail{"motion_email_schedule", kChannels, kReqMotionChanged};
const nvr::events::ScheduleRoute kMovePtz{"motion_ptz_schedule", kChannels, kReqMotionChanged};
const nvr::events::ScheduleRoute kMoveAudible{"motion_audible_schedule", kChannels, 0};

}  // namespace

void on_video_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kVideoReplies, header, payload);
}

void on_get_movedetect_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !read_channel_key(request.get(), "chnid", &channel)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  MotionInfo record = read_channel(channel);
  record.chnid = channel;
  nvr::Json answer =
      nvr::events::build_action_object(kMotionSource, channel, &record, kMotionAnswerKeys);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void OnGetMotionSchedule(char* data) { nvr::events::get_schedule_route(kMoveAudible, data); }

void on_set_movedetect_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  MotionBasics basics{};
  if (!request || nvr::read_policy(request.get(), kMotionBasicsPolicy, &basics) != 0) return;
  const char* table = nvr::json_string(request.get(), "motionTable");
  const char* channels = nvr::json_string(request.get(), "triChannels");
  if (table == nullptr || channels == nullptr) return;

  MotionInfo record{};  // fields this route does not name are stored as 0
  record.chnid = basics.camId;
  record.enable = basics.enable;
  record.sensitivity = basics.sensitivity;
  record.triAlarms = basics.triAlarms;
  record.interval = basics.interval;
  record.enableQV = basics.enableQV;
  snprintf(record.motionTable, sizeof record.motionTable, "%s", table);
  record.tri_channel_mask =
      nvr::events::set_channel_text(record.triChannels, sizeof record.triChannels, channels);
  if (write_motion(db(), &record) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_index(kReqMotionChanged, basics.camId);
  CameraMotion camera{};
  snprintf(camera.map, sizeof camera.map, "%s", table);
  camera.sensitivity = basics.sensitivity;
  camera.channel = basics.camId;
  nvr::tell_daemon(kReqSetCameraMotion, camera);
  tell_camera_switch(basics.camId, basics.enableQV);
  log_channel_change(basics.camId);
  cgi_writeback_webserver(kRespText, "OK");
}

void OnSetMotionSchedule(char* data) {
  nvr::events::set_schedule_route({kMotionScheduleTable, kChannels, kReqMotionChanged}, data);
}

void on_get_motion_map(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!request || !nvr::json_read_int(request.get(), "id", &id, 0, INT32_MAX)) return;
  nvr::ask_or_answer(on_video_ipc_callback, kReqCameraMotionMap, id, nvr::Silence::kText);
}

void on_set_motion_dialog(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!read_channel_key(request.get(), "chnid", &channel)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  json_object* dialog = nvr::json_get(request.get(), "dialog");
  int failed = 0;
  if (nvr::json_is(dialog, json_type_object)) {
    failed |= save_motion_dialog_data(dialog, channel);
    nvr::events::tell_index(kReqMotionChanged, channel);
  }
  const uint64_t mask =
      get_copy_flag_by_json(request.get(), "copyChn", "copyCnt") & ~(uint64_t{1} << channel);
  failed |= copy_motion_config(channel, mask, request.get());
  if (failed != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  send_log_with_mask_channel(kLogSubChangeSettings, kLogParamMotion, 0, mask);
  tell_camera_copy(channel, mask, request.get());
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_motion_schedule_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !read_channel_key(request.get(), "camId", &channel)) return;
  ScheduleBlock block{};
  const bool has_schedule = get_schedule_by_json(request.get(), "schedule", &block) == 0;
  MotionInfo record = read_channel(channel);
  set_common_basics(request.get(), &record, channel);
  record.enable = int_or_zero(request.get(), "enable");
  DbBatch batch(db());
  int failed = write_motion(db(), &record);
  if (has_schedule) failed |= db_write_schedule(db(), kMotionScheduleTable, channel, &block);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_index(kReqMotionChanged, channel);
  nvr::events::tell_index(kReqMotionChanged, channel);
  tell_camera_switch(channel, record.enableQV);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_motion_trigger_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !read_channel_key(request.get(), "camId", &channel)) return;
  MotionInfo record = read_channel(channel);
  set_common_basics(request.get(), &record, channel);
  const char* channels = nvr::json_string(request.get(), "triChannels");
  record.tri_channel_mask =
      nvr::events::set_channel_text(record.triChannels, sizeof record.triChannels, channels);
  nvr::finish_change(write_motion(db(), &record), {kReqMotionChanged, &channel, sizeof channel},
                     {kLogSubChangeSettings, kLogParamMotion, nvr::log_channel(channel)});
}

void on_set_move_action(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !read_channel_key(request.get(), "chnid", &channel)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  DbBatch batch(db());
  int failed = nvr::events::store_action_tables(kMotionActionSource, request.get(), channel);
  MotionInfo record = read_channel(channel);
  if (nvr::events::apply_action_fields(kMotionActionSource, request.get(), &record,
                                       kMoveActionKeys)) {
    record.chnid = channel;
    failed |= write_motion(db(), &record);
  }
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_index(kReqMotionChanged, channel);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_move_email_sche(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!read_channel_key(request.get(), "camId", &channel)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  MotionInfo record = read_channel(channel);
  record.chnid = channel;
  record.email_enable = int_or_zero(request.get(), "enable");
  record.email_interval = int_or_zero(request.get(), "interval");
  ScheduleBlock block{};
  DbBatch batch(db());
  int failed = write_motion(db(), &record);
  if (get_schedule_by_json(request.get(), "schedule", &block) == 0)
    failed |= db_write_schedule(db(), kMoveEmail.table, channel, &block);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_index(kReqMotionChanged, channel);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_move_email_sche(char* data) { nvr::events::get_schedule_route(kMoveEmail, data); }

void on_set_move_others(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t channel = -1;
  if (!read_channel_key(request.get(), "camId", &channel)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  MotionInfo record = read_channel(channel);
  record.chnid = channel;
  const int32_t type = int_or_zero(request.get(), "type");
  if (type == 1)
    record.tri_channel_mask =
        nvr::events::set_channel_text(record.triChannels, sizeof record.triChannels,
                                      nvr::json_string(request.get(), "triChannels"));
  else if (type == 2)
    record.triAlarms = int_or_zero(request.get(), "triAlarms");
  nvr::finish_change(write_motion(db(), &record), {kReqMotionChanged, &channel, sizeof channel},
                     {kLogSubChangeSettings, kLogParamMotion, nvr::log_channel(channel)});
}

void on_set_move_effective_sche(char* data) {
  nvr::events::set_schedule_route(kMoveEffective, data);
}
void on_get_move_effective_sche(char* data) {
  nvr::events::get_schedule_route(kMoveEffective, data);
}
void on_get_move_ptz_sche(char* data) { nvr::events::get_schedule_route(kMovePtz, data); }
void on_set_move_ptz_sche(char* data) { nvr::events::set_schedule_route(kMovePtz, data); }

void on_set_ptz_params(char* data) {
  int32_t type = 0, source = 0;
  nvr::Json request = ptz_request(data, &type, &source);
  if (!request) return;
  const PtzActionParam entry = ptz_entry_of(request.get(), source);
  const int stored = type == kPeoplecntPtzEventType ? write_peoplecnt_ptz_params(db(), &entry)
                                                    : write_ptz_params(db(), &entry, type);
  nvr::events::answer_stored(stored);
}

void on_get_ptz_params(char* data) {
  int32_t type = 0, source = 0;
  nvr::Json request = ptz_request(data, &type, &source);
  if (!request) return;
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "ptzInfo", get_ptz_params_json_object(type, source));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_delete_ptz_params(char* data) {
  int32_t type = 0, source = 0;
  nvr::Json request = ptz_request(data, &type, &source);
  if (!request) return;
  int32_t ptz_channel = -1;
  if (!nvr::json_read_int(request.get(), "acto_ptz_channel", &ptz_channel, 0, INT32_MAX)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const int stored = type == kPeoplecntPtzEventType
                         ? delete_peoplecnt_ptz_params(db(), source, ptz_channel)
                         : delete_ptz_params(db(), type, source, ptz_channel);
  nvr::events::answer_stored(stored);
}

void on_update_ptz_params(char* data) {
  int32_t type = 0, source = 0;
  nvr::Json request = ptz_request(data, &type, &source);
  if (!request) return;
  const PtzActionParam entry = ptz_entry_of(request.get(), source);
  const int32_t old_channel = int_or_zero(request.get(), "old_chn_id");
  const int stored = type == kPeoplecntPtzEventType
                         ? update_peoplecnt_ptz_params(db(), &entry, old_channel)
                         : update_ptz_params(db(), &entry, type, old_channel);
  nvr::events::answer_stored(stored);
}

void on_delete_ptz_params_batch(char* data) {
  int32_t type = 0, source = 0;
  nvr::Json request = ptz_request(data, &type, &source);
  if (!request) return;
  json_object* list = nvr::json_get(request.get(), "ptzChannel");
  const size_t length = nvr::json_is(list, json_type_array) ? json_object_array_length(list) : 0;
  DbBatch batch(db());
  int failed = 0;
  for (size_t i = 0; i < length; ++i) {
    const int32_t ptz_channel =
        static_cast<int32_t>(nvr::json_int64(json_object_array_get_idx(list, i)).value_or(0));
    failed |= type == kPeoplecntPtzEventType
                  ? delete_peoplecnt_ptz_params(db(), source, ptz_channel)
                  : delete_ptz_params(db(), type, source, ptz_channel);
  }
  nvr::events::answer_stored(failed != 0 ? -1 : batch.commit());
}
