// Recorder alarm outputs and inputs with their actions, camera alarm inputs
// and outputs, and the name lists of all of them.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/json_codecs.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/alarm/alarm_handlers.h"
#include "modules/alarm/alarm_records.h"
#include "modules/alarm/alarm_wire.h"
#include "modules/video/event_actions.h"
#include "modules/video/event_routes.h"
#include "platform/device_path.h"

namespace {

using nvr::events::ActionKey;
using nvr::events::EventSource;
using nvr::events::kChannels;

constexpr int32_t kLogParamAlarmIn = 910;
constexpr int32_t kLogParamAlarmOut = 911;
constexpr int32_t kBasicActionType = 6;
constexpr int kBasicSlots = 12;

const char* db() { return nvr::qvdb_path(); }

const EventSource kAlarmOutSource = {&kAlarmOutRecord,
                                     nullptr,
                                     kAlarmOutScheduleTable,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     -1};

int32_t int_or_zero(json_object* object, const char* key) {
  int32_t value = 0;
  nvr::json_read_int(object, key, &value);
  return value;
}

void json_error() { cgi_error_to_webserver(kRespJson); }
void text_error() { cgi_error_to_webserver(kRespText); }
void answer(const nvr::Json& value) { cgi_writeback_webserver(kRespJson, nvr::json_text(value)); }

// ---- recorder alarm outputs -------------------------------------------------------------

constexpr ActionKey kAlarmOutKeys[] = {{"id"}, {"name"}, {"type"}, {"enable"}, {"durationTime"}};
constexpr ActionKey kAlarmOutScheduleKeys[] = {{"id"},     {"name"},         {"type"},
                                               {"enable"}, {"durationTime"}, {"effective"}};

void read_outputs(AlarmOut (&outputs)[kAlarmOutputs]) {
  for (int i = 0; i < kAlarmOutputs; ++i) outputs[i].id = i;
  nvr::events::read_event_records(kAlarmOutSource, outputs, kAlarmOutputs);
}

// ---- recorder alarm inputs ------------------------------------------------------------------

constexpr ActionKey kAlarmInListKeys[] = {{"id"},   {"enable"},      {"name"},
                                          {"type"}, {"triChannels"}, {"triAlarms"}};
constexpr ActionKey kAlarmInOneKeys[] = {{"id"},       {"enable"},      {"name"},
                                         {"type"},     {"triChannels"}, {"triAlarms"},
                                         {"interval"}, {"triSnapshot"}};
constexpr ActionKey kNvrAlarmInKeys[] = {
    {"alarmId", "id"},
    {"name"},
    {"alarmType", "type"},
    {"enable"},
    {"triAlarms"},
    {"interval"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"triChannels"},
    {"triSnapshot"},
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
// The action fields a dialog sets (the two interval type fields follow).
constexpr ActionKey kAlarmInDialogKeys[] = {
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
    {"triSnapshot"},
};

AlarmIn read_input(int32_t id) {
  AlarmIn record{};
  nvr::events::read_event_record(kAlarmInSource, &record, id);
  record.id = id;
  return record;
}

// The check of "/6062" and "/6064" on the object "alarm".
bool check_alarmin_info(json_object* alarm) {
  int32_t value = 0;
  return nvr::json_read_int(alarm, "id", &value, 0, kAlarmInputs - 1) &&
         nvr::json_read_int(alarm, "enable", &value, 0, 2) &&
         nvr::json_read_int(alarm, "type", &value, 0, 1) &&
         nvr::json_get(alarm, "triChannels") != nullptr &&
         nvr::json_read_int(alarm, "triAlarms", &value, 0, INT32_MAX) &&
         nvr::json_read_int(alarm, "interval", &value, 0, INT32_MAX);
}

void set_input_settings(json_object* alarm, AlarmIn* record) {
  const char* name = nvr::json_string(alarm, "name");
  snprintf(record->name, sizeof record->name, "%s", name ? name : "");
  record->type = int_or_zero(alarm, "type");
  record->tri_channel_mask = nvr::events::set_channel_text(
      record->triChannels, sizeof record->triChannels, nvr::json_string(alarm, "triChannels"));
  record->triAlarms = int_or_zero(alarm, "triAlarms");
  record->interval = int_or_zero(alarm, "interval");
}

// Stores an input's record and tells the daemon and the log.
void finish_input(int stored, int32_t id) {
  nvr::finish_change(stored, {kReqAlarmInChanged, &id, sizeof id},
                     {kLogSubChangeSettings, kLogParamAlarmIn, nvr::log_channel(id)});
}

// ---- camera alarm inputs and outputs --------------------------------------------------------

int32_t g_asked_channel = -1;  // the channel of the pending camera query

constexpr ActionKey kCameraAlarmInKeys[] = {
    {"effective"},
    {"audible"},
    {"interval"},
    {"audioId"},
    {"audioIdMask"},
    {"email"},
    {"email_interval"},
    {"email_pic_enable"},
    {"tri_channels_pic"},
    {"ptz"},
    {"ptz_interval"},
    {"ptzParams"},
    {"alarmout_interval"},
    {"triAlarms"},
    {"triChannels"},
    {"triChnAlarms"},
    {"white"},
    {"whiteInfo"},
    {"white_interval"},
    {"warningLight"},
    {"warningLightInfo"},
    {"warning_light_interval"},
    {"http_notification_interval"},
    {"httpSche"},
    {"httpParams"},
};
constexpr ActionKey kCameraAlarmInDialogKeys[] = {
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

void on_get_camera_alarm_input_cb(uint32_t count, const void* records) {
  if (count < 1 || g_asked_channel < 0) return;
  const CameraAlarmInputs reply = nvr::record_at<CameraAlarmInputs>(records, 0);
  const int32_t channel = g_asked_channel;
  AlarmChnInName names[kCameraAlarmInputs] = {};
  nvr::Json result = nvr::json_new_object();
  nvr::json_add_int(result.get(), "chnid", channel);
  nvr::json_add_int(result.get(), "alarmCnt", reply.count);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < reply.count && i < kCameraAlarmInputs; ++i) {
    AlarmChnInName all[kChannels] = {};
    read_alarm_chnIn_event_names(db(), all, i);
    names[i] = all[channel];
    const EventSource& source = kAlarmChnInSources[i];
    AlarmChnInEvent event{};
    nvr::events::read_event_record(source, &event, channel);
    nvr::Json alarm = nvr::json_new_object();
    nvr::json_add_int(alarm.get(), "alarmEnable", reply.enable[i]);
    nvr::json_add_int(alarm.get(), "alarmType", reply.type[i]);
    nvr::json_add_int(alarm.get(), "alarmStatus", reply.status[i]);
    nvr::json_add(alarm.get(), "alarmName",
                  nvr::json_new_string_bounded(names[i].name, sizeof names[i].name));
    nvr::Json actions =
        nvr::events::build_action_object(source, channel, &event, kCameraAlarmInKeys);
    json_object_object_foreach(actions.get(), key, value) {
      json_object_object_add(alarm.get(), key, json_object_get(value));
    }
    nvr::json_append(list.get(), std::move(alarm));
  }
  nvr::json_add(result.get(), "alarm", std::move(list));
  nvr::answer_json(result);
}

void on_get_camera_alarm_output_cb(uint32_t count, const void* records) {
  if (count < 1 || g_asked_channel < 0) return;
  const CameraAlarmOutputs reply = nvr::record_at<CameraAlarmOutputs>(records, 0);
  const int32_t channel = g_asked_channel;
  nvr::Json result = nvr::json_new_object();
  nvr::json_add_int(result.get(), "chnid", channel);
  nvr::json_add_int(result.get(), "alarmCnt", reply.count);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < kCameraAlarmOutputs; ++i) {
    AlarmChnOutName all[kChannels] = {};
    read_alarm_chnOut_event_names(db(), all, i);
    nvr::Json alarm = nvr::json_new_object();
    nvr::json_add_int(alarm.get(), "alarmType", reply.type[i]);
    nvr::json_add_int(alarm.get(), "alarmStatus", reply.status[i]);
    nvr::json_add(alarm.get(), "alarmName",
                  nvr::json_new_string_bounded(all[channel].name, sizeof all[channel].name));
    nvr::json_add_int(alarm.get(), "delayTime", all[channel].delayTime);
    const ScheduleBlock block = nvr::events::read_schedule(kAlarmChnOutScheduleTables[i], channel);
    nvr::json_add(alarm.get(), "effective", get_schedule_json_object(&block));
    nvr::json_append(list.get(), std::move(alarm));
  }
  nvr::json_add(result.get(), "alarm", std::move(list));
  nvr::answer_json(result);
}

constexpr nvr::ReplyRow kAlarmReplies[] = {
    {kReplyCameraAlarmOutputs, sizeof(CameraAlarmOutputs), on_get_camera_alarm_output_cb},
    {kReplyCameraAlarmInputs, sizeof(CameraAlarmInputs), on_get_camera_alarm_input_cb},
};

// The "chnid" 0..63 of a camera route and its "alarmCnt" (required).
nvr::Json camera_request(const char* data, int32_t* channel, int32_t* alarm_count) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || !nvr::json_read_int(request.get(), "chnid", channel, 0, kChannels - 1) ||
      (alarm_count && !nvr::json_read_int(request.get(), "alarmCnt", alarm_count))) {
    json_error();
    return nullptr;
  }
  return request;
}

json_object* element(json_object* list, int i) {
  if (!nvr::json_is(list, json_type_array) || i >= static_cast<int>(json_object_array_length(list)))
    return nullptr;
  return json_object_array_get_idx(list, static_cast<size_t>(i));
}

}  // namespace

void on_alarm_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kAlarmReplies, header, payload);
}

// ---- recorder alarm outputs ---------------------------------------------------------------

void on_get_alarm_outs(char*) {
  AlarmOut outputs[kAlarmOutputs] = {};
  read_outputs(outputs);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < kAlarmOutputs; ++i)
    nvr::json_append(list.get(), nvr::events::build_action_object(kAlarmOutSource, i, &outputs[i],
                                                                  kAlarmOutKeys));
  answer(list);
}

void on_get_alarm_out(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!request || !nvr::json_read_int(request.get(), "alarmId", &id, 0, kAlarmOutputs - 1))
    return json_error();
  AlarmOut outputs[kAlarmOutputs] = {};
  read_outputs(outputs);
  answer(
      nvr::events::build_action_object(kAlarmOutSource, id, &outputs[id], kAlarmOutScheduleKeys));
}

void on_set_alarm_out(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!request || !nvr::json_read_int(request.get(), "alarmId", &id, 0, kAlarmOutputs - 1))
    return text_error();
  AlarmOut outputs[kAlarmOutputs] = {};
  read_outputs(outputs);
  DbBatch batch(db());
  int failed = 0;
  ScheduleBlock block{};
  if (get_schedule_by_json_ex(nvr::json_get(request.get(), "dialog"), "effective", &block) == 0)
    failed |= db_write_schedule(db(), kAlarmOutScheduleTable, id, &block);
  AlarmOut& output = outputs[id];
  db_record_from_json(kAlarmOutRecord, request.get(), &output);  // name, enable, type, duration
  output.id = id;
  bool present = false;
  for (const char* key : {"name", "enable", "type", "durationTime"})
    present |= nvr::json_get(request.get(), key) != nullptr;
  if (present) failed |= db_write(db(), kAlarmOutRecord, &output);
  uint64_t copies = 0;
  if (nvr::json_int_or(request.get(), "copyCnt") > 0)
    copies = nvr::events::mask_of_list(nvr::json_get(request.get(), "copyChn"),
                                       nvr::json_int_or(request.get(), "copyCnt"), kAlarmOutputs) &
             ~(uint64_t{1} << id);
  for (int i = 0; i < kAlarmOutputs; ++i) {
    if (!(copies >> i & 1)) continue;
    outputs[i].id = i;
    outputs[i].type = output.type;
    outputs[i].enable = output.enable;
    outputs[i].durationTime = output.durationTime;
  }
  failed |= nvr::events::write_event_records(kAlarmOutSource, outputs, kAlarmOutputs, copies);
  failed |= nvr::events::copy_action_tables(kAlarmOutSource, id, copies);
  if (failed != 0 || batch.commit() != 0) return text_error();
  nvr::events::tell_index(kReqAlarmOutChanged, id);
  for (int i = 0; i < kAlarmOutputs; ++i)
    if (copies >> i & 1) nvr::events::tell_index(kReqAlarmOutChanged, i);
  send_log_with_mask_channel(kLogSubChangeSettings, kLogParamAlarmOut, nvr::log_channel(id),
                             copies | uint64_t{1} << id);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- recorder alarm inputs, basic routes --------------------------------------------------------

void on_get_alarm_ins(char*) {
  AlarmIn inputs[kAlarmInputs] = {};
  for (int i = 0; i < kAlarmInputs; ++i) inputs[i].id = i;
  nvr::events::read_event_records(kAlarmInSource, inputs, kAlarmInputs);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < kAlarmInputs; ++i)
    nvr::json_append(list.get(), nvr::events::build_action_object(kAlarmInSource, i, &inputs[i],
                                                                  kAlarmInListKeys));
  answer(list);
}

void on_get_alarm_in(char* data) {
  int32_t id = -1;
  if (!nvr::events::parse_index_text(data, &id) || id >= kAlarmInputs) return;
  const AlarmIn record = read_input(id);
  nvr::Json result = nvr::json_new_object();
  nvr::json_add(result.get(), "alarm",
                nvr::events::build_action_object(kAlarmInSource, id, &record, kAlarmInOneKeys));
  const ScheduleBlock block = nvr::events::read_schedule(kAlarmInScheduleTable, id);
  nvr::json_add(result.get(), "schedule", get_schedule_json_object(&block));
  answer(result);
}

void on_set_alarm_in(char* data) {
  nvr::Json request = nvr::parse_request(data);
  json_object* alarm = nvr::json_get(request.get(), "alarm");
  if (!request || !check_alarmin_info(alarm)) return;
  const int32_t id = int_or_zero(alarm, "id");
  AlarmIn record = read_input(id);
  record.enable = int_or_zero(alarm, "enable");
  set_input_settings(alarm, &record);
  ScheduleBlock block{};
  get_schedule_by_json(request.get(), "schedule", &block);  // slots [start, end]
  for (ScheduleDay& day : block.days)
    for (int s = 0; s < kBasicSlots; ++s) day.slots[s].actionType = kBasicActionType;
  DbBatch batch(db());
  int failed = nvr::events::write_event_record(kAlarmInSource, &record);
  failed |= db_write_schedule(db(), kAlarmInScheduleTable, id, &block);
  finish_input(failed != 0 ? -1 : batch.commit(), id);
}

void on_set_alarm_in_basic(char* data) {
  nvr::Json request = nvr::parse_request(data);
  json_object* alarm = nvr::json_get(request.get(), "alarm");
  int32_t id = -1;
  if (!request || !nvr::json_read_int(alarm, "camId", &id, 0, kAlarmInputs - 1)) return;
  AlarmIn record = read_input(id);
  const char* name = nvr::json_string(alarm, "name");
  snprintf(record.name, sizeof record.name, "%s", name ? name : "");
  record.type = int_or_zero(alarm, "type");
  record.enable = int_or_zero(alarm, "enable");
  finish_input(nvr::events::write_event_record(kAlarmInSource, &record), id);
}

void on_set_alarm_in_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  json_object* alarm = nvr::json_get(request.get(), "alarm");
  if (!request || !check_alarmin_info(alarm)) return;
  const int32_t id = int_or_zero(alarm, "id");
  AlarmIn record = read_input(id);  // "enable" is checked, not stored
  set_input_settings(alarm, &record);
  finish_input(nvr::events::write_event_record(kAlarmInSource, &record), id);
}

void on_set_alarm_in_enable(char* data) {
  nvr::Json request = nvr::parse_request(data);
  AlarmInEnable notice{};
  if (!request || !nvr::json_read_int(request.get(), "id", &notice.id, 0, kAlarmInputs - 1)) return;
  notice.enable = int_or_zero(request.get(), "enable");
  nvr::finish_change(0, {kReqAlarmInEnable, &notice, sizeof notice},
                     {kLogSubChangeSettings, kLogParamAlarmOut, nvr::log_channel(notice.id)});
}

// ---- name lists
// ------------------------------------------------------------------------------------

template <class Name>
nvr::Json camera_names(int per_channel, void (*read)(const char*, Name*, int32_t)) {
  nvr::Json camera = nvr::json_new_array();
  static Name names[kCameraAlarmInputs][kChannels];
  memset(names, 0, sizeof names);
  for (int i = 0; i < per_channel; ++i) read(db(), names[i], i);
  for (int c = 0; c < kChannels; ++c) {
    nvr::Json list = nvr::json_new_array();
    for (int i = 0; i < per_channel; ++i)
      nvr::json_append(list.get(),
                       nvr::json_new_string_bounded(names[i][c].name, sizeof names[i][c].name));
    nvr::json_append(camera.get(), std::move(list));
  }
  return camera;
}

void on_get_all_alarmout_names(char*) {
  AlarmOut outputs[kAlarmOutputs] = {};
  read_outputs(outputs);
  nvr::Json result = nvr::json_new_object();
  nvr::Json nvr_names = nvr::json_new_array();
  for (const AlarmOut& output : outputs)
    nvr::json_append(nvr_names.get(),
                     nvr::json_new_string_bounded(output.name, sizeof output.name));
  nvr::json_add(result.get(), "nvr", std::move(nvr_names));
  nvr::json_add(result.get(), "camera",
                camera_names<AlarmChnOutName>(kCameraAlarmOutputs, read_alarm_chnOut_event_names));
  answer(result);
}

void on_get_all_alarmin_names(char*) {
  AlarmIn inputs[kAlarmInputs] = {};
  nvr::events::read_event_records(kAlarmInSource, inputs, kAlarmInputs);
  nvr::Json result = nvr::json_new_object();
  nvr::Json nvr_names = nvr::json_new_array();
  for (const AlarmIn& input : inputs)
    nvr::json_append(nvr_names.get(), nvr::json_new_string_bounded(input.name, sizeof input.name));
  nvr::json_add(result.get(), "nvr", std::move(nvr_names));
  nvr::json_add(result.get(), "camera",
                camera_names<AlarmChnInName>(kCameraAlarmInputs, read_alarm_chnIn_event_names));
  answer(result);
}

// ---- recorder alarm inputs with actions
// -------------------------------------------------------------

void on_get_nvr_alarm_input(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!request || !nvr::json_read_int(request.get(), "alarmId", &id, 0, kAlarmInputs - 1))
    return json_error();
  const AlarmIn record = read_input(id);
  answer(nvr::events::build_action_object(kAlarmInSource, id, &record, kNvrAlarmInKeys));
}

void on_set_nvr_alarm_input(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t id = -1;
  if (!request || !nvr::json_read_int(request.get(), "alarmId", &id, 0, kAlarmInputs - 1))
    return json_error();
  AlarmIn inputs[kAlarmInputs] = {};
  nvr::events::read_event_records(kAlarmInSource, inputs, kAlarmInputs);
  AlarmIn& record = inputs[id];
  record.id = id;
  const ActionKey own[] = {{"alarmType", "type"}, {"name"}};
  bool changed = nvr::events::apply_action_fields(kAlarmInSource, request.get(), &record, own);
  DbBatch batch(db());
  int failed = 0;
  if (id == 0) {  // the disarming settings belong to input 0
    Disarming disarming{};
    db_read(db(), kDisarmingRecord, &disarming, 0);
    const bool present = nvr::json_get(request.get(), "linkageAction") ||
                         nvr::json_get(request.get(), "disarmActionMask");
    db_record_from_json(kDisarmingRecord, request.get(), &disarming);
    if (present) failed |= db_write(db(), kDisarmingRecord, &disarming);
  }
  if (json_object* dialog = nvr::json_get(request.get(), "dialog")) {
    failed |= nvr::events::store_action_tables(kAlarmInSource, dialog, id);
    if (nvr::events::apply_action_fields(kAlarmInSource, dialog, &record, kAlarmInDialogKeys))
      changed = true;
    if (nvr::json_get(dialog, "interval")) record.interval_type = 2;
    if (nvr::json_get(dialog, "email_interval")) record.email_interval_type = 2;
    changed |= nvr::events::store_ptz_actions(dialog);
  }
  if (changed) failed |= nvr::events::write_event_record(kAlarmInSource, &record);
  uint64_t copies = 0;
  if (nvr::json_int_or(request.get(), "copyCnt") > 0)
    copies = nvr::events::mask_of_list(nvr::json_get(request.get(), "copyChn"),
                                       nvr::json_int_or(request.get(), "copyCnt"), kAlarmInputs) &
             ~(uint64_t{1} << id);
  for (int i = 0; i < kAlarmInputs; ++i) {
    if (!(copies >> i & 1)) continue;
    AlarmIn& copy = inputs[i];
    copy.id = i;
    copy.type = record.type;
    copy.interval = record.interval;
    copy.interval_type = record.interval_type;
    copy.audioId = record.audioId;
    copy.email_pic_enable = record.email_pic_enable;
    copy.email_interval = record.email_interval;
    copy.email_interval_type = record.email_interval_type;
    memcpy(copy.triSnapshot, record.triSnapshot, sizeof copy.triSnapshot);
    copy.triAlarms = record.triAlarms;
    copy.ptz_interval = record.ptz_interval;
    copy.alarmout_interval = record.alarmout_interval;
    copy.white_interval = record.white_interval;
    copy.http_notification_interval = record.http_notification_interval;
    memcpy(copy.tri_chn_alarms, record.tri_chn_alarms, sizeof copy.tri_chn_alarms);
  }
  failed |= nvr::events::write_event_records(kAlarmInSource, inputs, kAlarmInputs, copies);
  failed |= nvr::events::copy_action_tables(kAlarmInSource, id, copies);
  if (failed != 0 || batch.commit() != 0) return text_error();
  nvr::events::tell_mask(kReqAlarmInsChanged, copies | uint64_t{1} << id);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- camera alarm inputs and outputs
// ------------------------------------------------------------------

void on_get_camera_alarm_input(char* data) {
  int32_t channel = -1;
  nvr::Json request = camera_request(data, &channel, nullptr);
  if (!request) return;
  g_asked_channel = channel;
  CameraAlarmInputs ask{};
  ask.channel = channel;
  ask.count = kCameraAlarmInputs;
  nvr::ask_or_answer(on_alarm_ipc_callback, kReqCameraAlarmInputs, ask, nvr::Silence::kJson);
}

void on_set_camera_alarm_input(char* data) {
  int32_t channel = -1, alarm_count = 0;
  nvr::Json request = camera_request(data, &channel, &alarm_count);
  if (!request) return;
  const int alarms = std::clamp(alarm_count, 0, kCameraAlarmInputs);
  const uint64_t copies =
      get_copy_flag_by_json(request.get(), "copyChn", "copyCnt") & ~(uint64_t{1} << channel);
  DbBatch batch(db());
  int failed = 0;
  json_object* dialogs = nvr::json_get(request.get(), "dialog");
  for (int i = 0; i < alarms; ++i) {
    json_object* dialog = element(dialogs, i);
    int32_t alarm = -1;
    if (!nvr::json_read_int(dialog, "alarmId", &alarm, 0, kCameraAlarmInputs - 1)) continue;
    const EventSource& source = kAlarmChnInSources[alarm];
    AlarmChnInEvent event{};
    nvr::events::read_event_record(source, &event, channel);
    event.chnid = channel;
    event.alarm = alarm;
    failed |= nvr::events::store_action_tables(source, dialog, channel);
    bool changed =
        nvr::events::apply_action_fields(source, dialog, &event, kCameraAlarmInDialogKeys);
    if (nvr::json_get(dialog, "interval")) event.interval_type = 2;
    if (nvr::json_get(dialog, "email_interval")) event.email_interval_type = 2;
    changed |= nvr::events::store_ptz_actions(dialog);
    if (changed) failed |= nvr::events::write_event_record(source, &event);
    failed |= nvr::events::copy_action_tables(source, channel, copies);
    failed |= nvr::events::copy_event_record(source, &event, copies);
  }
  CameraAlarmInSet set{};
  json_object* alarm_list = nvr::json_get(request.get(), "alarm");
  for (int i = 0; i < alarms; ++i) {
    json_object* alarm = element(alarm_list, i);
    if (alarm == nullptr) continue;
    set.entries[i].enable = int_or_zero(alarm, "alarmEnable");
    set.entries[i].alarm = i;
    set.entries[i].type = int_or_zero(alarm, "alarmType");
    AlarmChnInName name{channel, i, {}};
    const char* text = nvr::json_string(alarm, "alarmName");
    snprintf(name.name, sizeof name.name, "%s", text ? text : "");
    failed |= write_alarm_chnIn_event_name(db(), &name);
  }
  if (failed != 0 || batch.commit() != 0) return text_error();
  set.count = alarm_count;
  set.mask = copies | uint64_t{1} << channel;
  nvr::tell_daemon(kReqSetCameraAlarmInputs, set);
  nvr::events::tell_mask(kReqCameraAlarmInsChanged, set.mask);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_camera_alarm_output(char* data) {
  int32_t channel = -1;
  nvr::Json request = camera_request(data, &channel, nullptr);
  if (!request) return;
  g_asked_channel = channel;
  nvr::ask_or_answer(on_alarm_ipc_callback, kReqCameraAlarmOutputs, channel, nvr::Silence::kJson);
}

void on_set_camera_alarm_output(char* data) {
  int32_t channel = -1, alarm_count = 0;
  nvr::Json request = camera_request(data, &channel, &alarm_count);
  if (!request) return;
  const int alarms = std::clamp(alarm_count, 0, kCameraAlarmOutputs);
  const uint64_t copies =
      get_copy_flag_by_json(request.get(), "copyChn", "copyCnt") & ~(uint64_t{1} << channel);
  DbBatch batch(db());
  int failed = 0;
  json_object* dialogs = nvr::json_get(request.get(), "dialog");
  for (int i = 0; i < alarms; ++i) {
    json_object* dialog = element(dialogs, i);
    int32_t alarm = -1;
    ScheduleBlock block{};
    if (!nvr::json_read_int(dialog, "alarmId", &alarm, 0, kCameraAlarmOutputs - 1) ||
        get_schedule_by_json(dialog, "effective", &block) != 0)
      continue;
    failed |= db_write_schedule(db(), kAlarmChnOutScheduleTables[alarm], channel, &block);
    if (copies) failed |= db_copy_schedule(db(), kAlarmChnOutScheduleTables[alarm], &block, copies);
  }
  CameraAlarmOutSet set{};
  json_object* alarm_list = nvr::json_get(request.get(), "alarm");
  for (int i = 0; i < alarms; ++i) {
    json_object* alarm = element(alarm_list, i);
    if (alarm == nullptr) continue;
    set.entries[i].alarm = i;
    set.entries[i].type = int_or_zero(alarm, "alarmType");
    AlarmChnOutName name{channel, i, int_or_zero(alarm, "delayTime"), {}};
    const char* text = nvr::json_string(alarm, "alarmName");
    snprintf(name.name, sizeof name.name, "%s", text ? text : "");
    failed |= write_alarm_chnOut_event_name(db(), &name);
    if (copies == 0) continue;
    AlarmChnOutName all[kChannels] = {};
    read_alarm_chnOut_event_names(db(), all, i);
    for (int c = 0; c < kChannels; ++c) {
      if (!(copies >> c & 1)) continue;
      all[c].chnid = c;
      all[c].alarm = i;
      all[c].delayTime = name.delayTime;
      failed |= write_alarm_chnOut_event_name(db(), &all[c]);
    }
  }
  if (failed != 0 || batch.commit() != 0) return text_error();
  set.count = alarm_count;
  set.mask = copies | uint64_t{1} << channel;
  nvr::tell_daemon(kReqSetCameraAlarmOutputs, set);
  nvr::events::tell_mask(kReqCameraAlarmOutsChanged, set.mask);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_camera_alarm_output_state(char* data) {
  nvr::Json request = get_request_tokener_json_object(data);
  if (!nvr::json_is(request.get(), json_type_object)) return text_error();
  CameraAlarmOutState state{};
  state.channel = int_or_zero(request.get(), "chnid");
  state.alarm = int_or_zero(request.get(), "alarmId");
  state.state = int_or_zero(request.get(), "state");
  nvr::tell_daemon(kReqCameraAlarmOutState, state);
  cgi_writeback_webserver(kRespText, "OK");
}
