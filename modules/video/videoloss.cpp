// Video loss as an event source, and the batch routes that set one action
// schedule and one setting for a list of channels or alarm inputs.
#include <cstring>
#include <vector>

#include "frame/json_codecs.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/alarm/alarm_records.h"
#include "modules/video/event_actions.h"
#include "modules/video/event_routes.h"
#include "modules/video/video_handlers.h"
#include "modules/video/video_records.h"
#include "modules/video/video_wire.h"
#include "platform/device_path.h"
#include "platform/qvdb_actions.h"

namespace {

using nvr::events::ActionKey;
using nvr::events::EventSource;
using nvr::events::kChannels;

constexpr int32_t kLogParamVideoLoss = 908;
constexpr int32_t kLogParamEvents = 909;

const char* db() { return nvr::qvdb_path(); }

int32_t int_or_zero(json_object* request, const char* key) {
  int32_t value = 0;
  nvr::json_read_int(request, key, &value);
  return value;
}

VideoLossInfo read_channel(int32_t channel) {
  VideoLossInfo record{};
  read_video_lost(db(), &record, channel);
  return record;
}

constexpr ActionKey kVideoLostInfoKeys[] = {
    {"camId", "chnid"}, {"enable"}, {"triAlarms"}, {"interval"}};

constexpr ActionKey kVideoLossAnswerKeys[] = {
    {"chnid"},
    {"enable"},
    {"triAlarms"},
    {"interval"},
    {"email_interval"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"white_interval"},
    {"http_notification_interval"},
    {"audible"},
    {"email"},
    {"ptz"},
    {"triChnAlarms"},
    {"white"},
    {"whiteInfo"},
    {"warningLight"},
    {"warningLightInfo"},
    {"warning_light_interval"},
    {"httpSche"},
    {"httpParams"},
    {"audioId"},
    {"audioIdMask"},
    {"ptzParams"},
};

constexpr ActionKey kVideoLossDialogKeys[] = {
    {"triChnAlarms"},
    {"enable"},
    {"triAlarms"},
    {"interval"},
    {"audioId"},
    {"email_interval"},
    {"ptz_interval"},
    {"alarmout_interval"},
    {"white_interval"},
    {"warning_light_interval"},
    {"http_notification_interval"},
};

struct VideoLostSet {
  int32_t camId, enable, triAlarms, interval;
};
constexpr nvr::PolicyRow kVideoLostPolicy[] = {
    NVR_POLICY_INT(VideoLostSet, camId, "camId", 0, 63, nvr::Presence::kRequired),
    NVR_POLICY_INT(VideoLostSet, enable, "enable", 0, 2, nvr::Presence::kRequired),
    NVR_POLICY_INT(VideoLostSet, triAlarms, "triAlarms", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(VideoLostSet, interval, "interval", 0, INT32_MAX, nvr::Presence::kRequired),
};

// ---- batch routes ------------------------------------------------------------------------

// One schedule and one setting for a list of channels or inputs.
struct BatchRoute {
  const EventSource* source;
  int32_t limit;         // list values 0..limit-1; others are skipped
  ActionKey enable;      // request "enable" -> record field
  ActionKey interval;    // request "interval" -> record field
  const char* schedule;  // the schedule copied to the listed ones
  int32_t notice;        // told with the listed mask
  bool snapshot;         // "triSnapshot" too; every listed record is stored
};

const BatchRoute kVideoLostAudible{
    &kVideoLossSource, kChannels, {"enable"}, {"interval"}, "videoloss_audible_schedule",
    kReqVideoLossMask, false};
const BatchRoute kVideoLostEmail{&kVideoLossSource,
                                 kChannels,
                                 {"enable", "email_enable"},
                                 {"interval", "email_interval"},
                                 "videoloss_email_schedule",
                                 kReqVideoLossMask,
                                 false};
const BatchRoute kAlarmInAudible{
    &kAlarmInSource, kAlarmInputs, {"enable"}, {"interval"}, "alarmin_audible_schedule",
    kReqAlarmInMask, false};
const BatchRoute kAlarmInEmail{&kAlarmInSource,
                               kAlarmInputs,
                               {"enable", "email_enable"},
                               {"interval", "email_interval"},
                               "alarmin_email_schedule",
                               kReqAlarmInMask,
                               true};

// The list of a batch request: the first `cnt` elements of "chnid".
uint64_t listed_mask(json_object* request, int32_t limit) {
  return nvr::events::mask_of_list(nvr::json_get(request, "chnid"),
                                   nvr::json_int_or(request, "cnt"), limit);
}

void run_batch(const BatchRoute& route, const char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  ScheduleBlock block{};
  const bool has_schedule = get_schedule_by_json(request.get(), "schedule", &block) == 0;
  const size_t size = route.source->record->size;
  std::vector<unsigned char> records(size * kChannels);
  nvr::events::read_event_records(*route.source, records.data(), route.limit);
  // The values the listed records get, present even when the request omits them.
  nvr::Json values = nvr::json_new_object();
  nvr::json_add_int(values.get(), "enable", int_or_zero(request.get(), "enable"));
  nvr::json_add_int(values.get(), "interval", int_or_zero(request.get(), "interval"));
  const char* snapshot = nvr::json_string(request.get(), "triSnapshot");
  nvr::json_add_string(values.get(), "triSnapshot", snapshot ? snapshot : "");
  const ActionKey keys[] = {route.enable, route.interval, {"triSnapshot"}};
  const std::span<const ActionKey> used(keys, route.snapshot ? 3 : 2);

  const uint64_t listed = listed_mask(request.get(), route.limit);
  uint64_t changed = 0;
  std::vector<unsigned char> before(size);
  for (int n = 0; n < route.limit; ++n) {
    if (!(listed >> n & 1)) continue;
    unsigned char* record = records.data() + size * static_cast<size_t>(n);
    memcpy(before.data(), record, size);
    memcpy(record, &n, sizeof n);  // the key field comes first in these records
    nvr::events::apply_action_fields(*route.source, values.get(), record, used);
    if (route.snapshot || memcmp(before.data(), record, size) != 0) changed |= uint64_t{1} << n;
  }
  DbBatch batch(db());
  int failed =
      nvr::events::write_event_records(*route.source, records.data(), route.limit, changed);
  if (has_schedule) failed |= db_copy_schedule(db(), route.schedule, &block, listed);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_mask(route.notice, listed);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- PTZ schedules of a list -------------------------------------------------------------

struct PtzBatchRoute {
  int32_t limit;
  int32_t ptz_event_type;
  const char* schedule;
  int32_t notice;
};
const PtzBatchRoute kVideoLossPtz{kChannels, 2, "videoloss_ptz_schedule", kReqVideoLossMask};
const PtzBatchRoute kAlarmInPtz{kAlarmInputs, 0, "alarmin_ptz_schedule", kReqAlarmInMask};

void run_ptz_batch(const PtzBatchRoute& route, const char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t source = -1;
  if (!nvr::json_read_int(request.get(), "camId", &source, 0, route.limit - 1)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  ScheduleBlock block{};
  const bool has_schedule = get_schedule_by_json(request.get(), "schedule", &block) == 0;
  PtzActionParam area[kPtzActionEntries] = {};
  int count = 0;
  read_ptz_params(db(), area, route.ptz_event_type, source, &count);
  const uint64_t mask = listed_mask(request.get(), route.limit);
  DbBatch batch(db());
  int failed = 0;
  for (int n = 0; n < route.limit; ++n) {
    if (!(mask >> n & 1) || n == source) continue;
    for (PtzActionParam& entry : area)
      if (entry.acto_ptz_channel > 0) entry.chn_id = n;
    failed |= write_ptz_params_all(db(), area, route.ptz_event_type, n);
  }
  if (has_schedule) failed |= db_copy_schedule(db(), route.schedule, &block, mask);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_mask(route.notice, mask);
  cgi_writeback_webserver(kRespText, "OK");
}

using nvr::events::ScheduleRoute;
const ScheduleRoute kVideoLossAudibleSche{"videoloss_audible_schedule", kChannels, 0};
const ScheduleRoute kVideoLossEmailSche{"videoloss_email_schedule", kChannels, 0};
const ScheduleRoute kVideoLossPtzSche{"videoloss_ptz_schedule", kChannels, 0};
const ScheduleRoute kAlarmInEmailSche{"alarmin_email_schedule", kAlarmInputs, 0};
const ScheduleRoute kAlarmInAudibleSche{"alarmin_audible_schedule", kAlarmInputs, 0};
const ScheduleRoute kAlarmInPtzSche{"alarmin_ptz_schedule", kAlarmInputs, 0};
const ScheduleRoute kAlarmInEffectiveSche{"alarmin_effective_schedule", kAlarmInputs,
                                          kReqAlarmInScheduleChanged};

}  // namespace

void on_get_videolost_info(char* data) {
  int32_t channel = -1;
  if (!nvr::events::parse_index_text(data, &channel) || channel >= kChannels) return;
  VideoLossInfo record = read_channel(channel);
  record.chnid = channel;
  nvr::Json answer =
      nvr::events::build_action_object(kVideoLossSource, channel, &record, kVideoLostInfoKeys);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_get_videolost_schedule(char* data) {
  nvr::events::get_schedule_route(kVideoLossAudibleSche, data);
}

void on_set_videolost_info(char* data) {
  VideoLostSet set{};
  if (nvr::read_request(data, kVideoLostPolicy, &set) != 0) return;
  VideoLossInfo record = read_channel(set.camId);
  record.chnid = set.camId;  // the stored enable stays as it is
  record.triAlarms = set.triAlarms;
  record.interval = set.interval;
  nvr::finish_change(write_video_lost(db(), &record),
                     {kReqVideoLossChanged, &set.camId, sizeof set.camId},
                     {kLogSubChangeSettings, kLogParamVideoLoss, nvr::log_channel(set.camId)});
}

void on_set_videolost_schedule(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !nvr::json_read_int(request.get(), "camId", &channel, 0, kChannels - 1)) return;
  ScheduleBlock block{};
  DbBatch batch(db());
  int failed = 0;
  if (get_schedule_by_json(request.get(), "schedule", &block) == 0)
    failed |= db_write_schedule(db(), kVideoLossScheduleTable, channel, &block);
  VideoLossInfo record = read_channel(channel);
  record.chnid = channel;
  record.enable = int_or_zero(request.get(), "enable");
  failed |= write_video_lost(db(), &record);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_index(kReqVideoLossChanged, channel);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_videolost_email_sche(char* data) { run_batch(kVideoLostEmail, data); }
void on_get_videolost_email_sche(char* data) {
  nvr::events::get_schedule_route(kVideoLossEmailSche, data);
}
void on_set_alarmin_email_sche(char* data) { run_batch(kAlarmInEmail, data); }
void on_get_alarmin_email_sche(char* data) {
  nvr::events::get_schedule_route(kAlarmInEmailSche, data);
}
void on_set_videolost_audible_sche(char* data) { run_batch(kVideoLostAudible, data); }
void on_set_alarmin_audible_sche(char* data) { run_batch(kAlarmInAudible, data); }
void on_get_alarmin_audible_sche(char* data) {
  nvr::events::get_schedule_route(kAlarmInAudibleSche, data);
}

void on_set_videolost_others(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const int32_t tri_alarms = int_or_zero(request.get(), "triAlarms");
  VideoLossInfo records[kChannels] = {};
  read_video_losts(db(), records);
  const uint64_t listed = listed_mask(request.get(), kChannels);
  uint64_t changed = 0;
  for (int n = 0; n < kChannels; ++n)
    if ((listed >> n & 1) && records[n].triAlarms != tri_alarms) changed |= uint64_t{1} << n;
  if (changed != 0 &&
      copy_table_column_int(db(), "video_loss", "tri_alarms", tri_alarms, changed, "id") != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_mask(kReqVideoLossMask, changed);
  send_log_with_mask(4, kLogSubChangeSettings, kLogParamEvents, listed);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_alarm_others(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  int32_t input = -1;
  if (!nvr::json_read_int(request.get(), "camId", &input, 0, kAlarmInputs - 1)) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const bool channels = int_or_zero(request.get(), "type") == 0;
  const ScheduleBlock effective = nvr::events::read_schedule(kAlarmInSource.effective, input);
  AlarmIn records[kAlarmInputs] = {};
  read_event_records(kAlarmInSource, records, kAlarmInputs);
  const uint64_t mask = listed_mask(request.get(), kAlarmInputs);
  const char* text = nvr::json_string(request.get(), "triChannels");
  for (int n = 0; n < kAlarmInputs; ++n) {
    if (!(mask >> n & 1)) continue;
    records[n].id = n;
    if (channels)
      records[n].tri_channel_mask = nvr::events::set_channel_text(
          records[n].triChannels, sizeof records[n].triChannels, text);
    else
      records[n].triAlarms = int_or_zero(request.get(), "triAlarms");
  }
  DbBatch batch(db());
  int failed = db_copy_schedule(db(), kAlarmInSource.effective, &effective, mask);
  failed |= nvr::events::write_event_records(kAlarmInSource, records, kAlarmInputs, mask);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_mask(kReqAlarmInMask, mask);
  send_log_with_mask(4, kLogSubChangeSettings, kLogParamEvents, mask);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_videoloss_ptz_sche(char* data) { run_ptz_batch(kVideoLossPtz, data); }
void on_get_videoloss_ptz_sche(char* data) {
  nvr::events::get_schedule_route(kVideoLossPtzSche, data);
}
void on_set_alarmin_ptz_sche(char* data) { run_ptz_batch(kAlarmInPtz, data); }
void on_get_alarmin_ptz_sche(char* data) { nvr::events::get_schedule_route(kAlarmInPtzSche, data); }
void on_set_alarmin_effective_sche(char* data) {
  nvr::events::set_schedule_route(kAlarmInEffectiveSche, data);
}
void on_get_alarmin_effective_sche(char* data) {
  nvr::events::get_schedule_route(kAlarmInEffectiveSche, data);
}

void on_get_videoloss_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  VideoLossInfo record = read_channel(channel);
  record.chnid = channel;
  nvr::Json answer =
      nvr::events::build_action_object(kVideoLossSource, channel, &record, kVideoLossAnswerKeys);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_set_videoloss_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!request || !nvr::json_read_int(request.get(), "chnid", &channel, 0, kChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  DbBatch batch(db());
  int failed = 0;
  VideoLossInfo record = read_channel(channel);
  record.chnid = channel;
  if (json_object* dialog = nvr::json_get(request.get(), "dialog")) {
    failed |= nvr::events::store_action_tables(kVideoLossSource, dialog, channel);
    bool changed =
        nvr::events::apply_action_fields(kVideoLossSource, dialog, &record, kVideoLossDialogKeys);
    changed |= nvr::events::store_ptz_actions(dialog);
    if (changed) {
      record.enable = 2;  // the daemon's mark of a record set through the dialog
      record.email_enable = 2;
      failed |= write_video_lost(db(), &record);
    }
  }
  const uint64_t copies =
      nvr::events::mask_of_list(nvr::json_get(request.get(), "copyChn"),
                                nvr::json_int_or(request.get(), "copyCnt"), kChannels) &
      ~(uint64_t{1} << channel);
  failed |= nvr::events::copy_event_record(kVideoLossSource, &record, copies);
  failed |= nvr::events::copy_action_tables(kVideoLossSource, channel, copies);
  if (failed != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::events::tell_mask(kReqVideoLossMask, copies | uint64_t{1} << channel);
  cgi_writeback_webserver(kRespText, "OK");
}
