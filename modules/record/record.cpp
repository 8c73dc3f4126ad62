// The recording pages: holidays, weekly record schedules and plan modes,
// per-channel record parameters, and the two recording queries the daemon
// answers. Every change is stored first and then told to the daemon, so that
// recording follows at once.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/record/record_handlers.h"
#include "modules/record/record_records.h"
#include "modules/record/record_wire.h"
#include "platform/device_path.h"

namespace {

constexpr int kPlanModeMax = 2;

bool is_channel(int64_t value) { return value >= 0 && value < kRecordChannels; }
uint64_t bit(int channel) { return uint64_t{1} << channel; }

// ---- reply callbacks ----------------------------------------------------------------

void on_get_anr_support_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const auto reply = nvr::record_at<AnrSupportReply>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", reply.channel);
  nvr::json_add_int(answer.get(), "support", reply.support);
  nvr::answer_json(answer);
}

nvr::Json int_list(const int32_t* values, int count) {
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < count; ++i) nvr::json_append(list.get(), nvr::json_new_int(values[i]));
  return list;
}

void on_get_record_stream_info_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const auto reply = nvr::record_at<RecordStreamReply>(records, 0);
  // The lists hold 64 entries whatever count the daemon gives.
  const int listed = std::clamp<int32_t>(reply.count, 0, kRecordChannels);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "primary", int_list(reply.primary, listed));
  nvr::json_add(answer.get(), "secondary", int_list(reply.secondary, listed));
  nvr::json_add_int(answer.get(), "size", reply.count);
  nvr::answer_json(answer);
}

// resp -1 when the daemon flags a failure over more than one channel and one
// of their results is not 0.
int32_t anr_change_verdict(const AnrReply& reply) {
  if (reply.flag == 0 || reply.count <= 1) return 0;
  const int checked = std::min<int32_t>(reply.count, kRecordChannels);
  for (int i = 0; i < checked; ++i)
    if (reply.results[i] != 0) return -1;
  return 0;
}

void on_set_record_anr_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "resp", anr_change_verdict(nvr::record_at<AnrReply>(records, 0)));
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kRecordReplies[] = {
    {kReplyAnrSupport, sizeof(AnrSupportReply), on_get_anr_support_cb},
    {kReplyRecordStreamInfo, sizeof(RecordStreamReply), on_get_record_stream_info_cb},
    {kReplySetAnr, sizeof(AnrReply), on_set_record_anr_cb},
};

// ---- holidays ----------------------------------------------------------------------

constexpr nvr::PolicyRow kHolidayPolicy[] = {
    NVR_POLICY_INT(Holiday, id, "id", 0, kMaxHolidays - 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(Holiday, enable, "enable", 0, 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(Holiday, type, "type", 0, INT32_MAX, nvr::Presence::kRequired),
};

// ---- schedules ---------------------------------------------------------------------

nvr::Json schedule_day_json(const ScheduleDay& day) {
  nvr::Json plans = nvr::json_new_array();
  for (const ScheduleSlot& slot : day.slots) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add(item.get(), "startTime",
                  nvr::json_new_string_bounded(slot.startTime, sizeof slot.startTime));
    nvr::json_add(item.get(), "endTime",
                  nvr::json_new_string_bounded(slot.endTime, sizeof slot.endTime));
    nvr::json_add_int(item.get(), "actionType", slot.actionType);
    nvr::json_append(plans.get(), std::move(item));
  }
  nvr::Json entry = nvr::json_new_object();
  nvr::json_add_int(entry.get(), "wholedayEnable", day.valid);
  nvr::json_add_int(entry.get(), "wholedayActionType", wholeday_action(day));
  nvr::json_add(entry.get(), "plans", std::move(plans));
  return entry;
}

int32_t int32_of(json_object* value) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(nvr::json_int64(value).value_or(0), INT32_MIN, INT32_MAX));
}

// A day object of the write route: the whole-day fields only when enabled,
// and the slots as [start, end, action type] arrays.
void read_schedule_day(json_object* entry, ScheduleDay* day) {
  const int32_t enable = int32_of(nvr::json_get(entry, "wholedayEnable"));
  if (enable != 0) {
    day->valid = enable;
    set_wholeday_action(*day, int32_of(nvr::json_get(entry, "wholedayActionType")));
  }
  json_object* plans = nvr::json_get(entry, "plans");
  const size_t slots = std::min<size_t>(nvr::json_array_size(plans), kScheduleSlotPlaces);
  for (size_t j = 0; j < slots; ++j) {
    json_object* item = nvr::json_at(plans, j);
    ScheduleSlot& slot = day->slots[j];
    nvr::json_copy_text(nvr::json_at(item, 0), slot.startTime, sizeof slot.startTime);
    nvr::json_copy_text(nvr::json_at(item, 1), slot.endTime, sizeof slot.endTime);
    slot.actionType = int32_of(nvr::json_at(item, 2));
  }
}

void read_schedule(json_object* request, RecordSchedule* schedule) {
  json_object* days = nvr::json_get(request, "schedule");
  const size_t count = std::min<size_t>(nvr::json_array_size(days), kScheduleDays);
  for (size_t d = 0; d < count; ++d)
    read_schedule_day(nvr::json_at(days, d), &schedule->block.days[d]);
}

// The channels the request names ("cnt" elements of "chnid"): valid ones set
// their bit; the log names the last value read.
struct ChannelPick {
  uint64_t mask = 0;
  int64_t last = -1;  // -1: none read
  std::vector<int> channels;
};
ChannelPick pick_channels(json_object* request) {
  ChannelPick pick;
  json_object* list = nvr::json_get(request, "chnid");
  const int64_t count = nvr::json_int_or(request, "cnt", 0);
  const size_t listed = std::min<size_t>(nvr::json_array_size(list),
                                         static_cast<size_t>(std::max<int64_t>(count, 0)));
  for (size_t i = 0; i < listed; ++i) {
    const int64_t value = nvr::json_int64(nvr::json_at(list, i)).value_or(0);
    pick.last = value;
    if (!is_channel(value) || (pick.mask & bit(static_cast<int>(value)))) continue;
    pick.mask |= bit(static_cast<int>(value));
    pick.channels.push_back(static_cast<int>(value));
  }
  return pick;
}

// The log counts the last named channel from 1, as given (also past 64).
int32_t logged_port(int64_t last) {
  return last >= INT32_MIN && last < INT32_MAX ? static_cast<int32_t>(last + 1) : 0;
}

// ---- record parameters ------------------------------------------------------------

struct RecordParamRequest {
  int32_t prevRecordOn;
  int32_t prevRecordDuration;
  int32_t postRecordOn;
  int32_t postRecordDuration;
  int32_t audioEnable;
  int32_t recordStreamType;
  int32_t recordExpDate;
  int32_t camAnr;
};

constexpr nvr::PolicyRow kRecordParamPolicy[] = {
    NVR_POLICY_INT(RecordParamRequest, camAnr, "camAnr", INT32_MIN, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, prevRecordOn, "prevRecordOn", 0, 1,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, prevRecordDuration, "prevRecordDuration", 0, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, postRecordOn, "postRecordOn", 0, 1,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, postRecordDuration, "postRecordDuration", INT32_MIN,
                   INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, audioEnable, "audioEnable", 0, 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, recordStreamType, "recordStreamType", 0, 2,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(RecordParamRequest, recordExpDate, "recordExpDate", INT32_MIN, INT32_MAX,
                   nvr::Presence::kAbsentIsZero),
};

// The parameter answer: the record's and the camera's fields in one object.
struct RecordParamAnswer {
  int32_t id;
  int32_t prevRecordOn;
  int32_t prevRecordDuration;
  int32_t postRecordOn;
  int32_t postRecordDuration;
  int32_t audioEnable;
  int32_t recordStreamType;
  int32_t recordExpDate;
  int32_t cameraAnr;
  int32_t camEnable;
  int32_t camProtocol;
  int32_t poeChannel;
};
#define ANSWER_FIELD(member) DB_FIELD(RecordParamAnswer, member, #member, DbType::I32)
constexpr DbField kRecordParamAnswerFields[] = {
    ANSWER_FIELD(id),
    ANSWER_FIELD(prevRecordOn),
    ANSWER_FIELD(prevRecordDuration),
    ANSWER_FIELD(postRecordOn),
    ANSWER_FIELD(postRecordDuration),
    ANSWER_FIELD(audioEnable),
    ANSWER_FIELD(recordStreamType),
    ANSWER_FIELD(recordExpDate),
    ANSWER_FIELD(cameraAnr),
    ANSWER_FIELD(camEnable),
    ANSWER_FIELD(camProtocol),
    ANSWER_FIELD(poeChannel),
};
#undef ANSWER_FIELD
constexpr DbRecord kRecordParamAnswer = {nullptr, nullptr, sizeof(RecordParamAnswer),
                                         kRecordParamAnswerFields};

// A camera may take ANR off always; on only when it is enabled, not on a PoE
// port, and not an RTSP camera.
bool anr_applies(const CameraRecordFields& camera, int32_t anr) {
  return anr == 0 || (camera.enable != 0 && camera.poeChannel == 0 && camera.protocol != 1);
}

}  // namespace

void on_record_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kRecordReplies, header, payload);
}

std::optional<int32_t> record_channel_from_text(const char* data) {
  if (data == nullptr) return std::nullopt;
  const char* p = data;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!std::isdigit(static_cast<unsigned char>(*p))) return std::nullopt;  // no number
  int64_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    value = value * 10 + (*p - '0');
    if (value >= kRecordChannels) return std::nullopt;
  }
  if (negative && value != 0) return std::nullopt;
  return static_cast<int32_t>(value);
}

// "/6030"
void on_get_holiday_info(char*) {
  std::vector<Holiday> holidays(kMaxHolidays);
  int count = 0;
  read_holidays(nvr::qvdb_path(), holidays.data(), &count);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < std::clamp(count, 0, kMaxHolidays); ++i)
    nvr::json_append(list.get(), nvr::Json(db_record_to_json(kHolidayRecord, &holidays[i])));
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "holidays", std::move(list));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6031"
void on_set_holiday_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  Holiday holiday{};
  if (nvr::read_policy(request.get(), kHolidayPolicy, &holiday) != 0) return;
  db_record_from_json(kHolidayRecord, request.get(), &holiday);
  const int32_t stored = write_holiday(nvr::qvdb_path(), &holiday);
  nvr::finish_change(stored, {kReqHolidaysChanged},
                     {kLogSubChangeSettings, kLogParamHoliday, holiday.id + 1});
}

// "/6040"
void on_get_record_info(char* data) {
  const std::optional<int32_t> channel = record_channel_from_text(data);
  if (!channel) return;
  RecordParams record{};
  read_record(nvr::qvdb_path(), &record, *channel);
  auto schedule = std::make_unique<RecordSchedule>();
  read_record_schedule(nvr::qvdb_path(), schedule.get(), *channel);
  nvr::Json days = nvr::json_new_array();
  for (const ScheduleDay& day : schedule->block.days)
    nvr::json_append(days.get(), schedule_day_json(day));
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "id", record.id);
  nvr::json_add(answer.get(), "schedule", std::move(days));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6041"
void on_set_record_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || nvr::json_get(request.get(), "cnt") == nullptr) return;
  int32_t plan_mode = 0;
  if (nvr::json_get(request.get(), "recordplanmode") != nullptr &&
      !nvr::json_read_int(request.get(), "recordplanmode", &plan_mode, 0, kPlanModeMax))
    return;  // a plan mode the recorder does not have

  auto schedule = std::make_unique<RecordSchedule>();
  read_schedule(request.get(), schedule.get());
  std::vector<RecordParams> records(kRecordChannels);
  read_records(nvr::qvdb_path(), records.data());
  const ChannelPick pick = pick_channels(request.get());
  uint64_t mode_mask = 0;
  for (int c : pick.channels)
    if (records[c].mode != plan_mode) mode_mask |= bit(c);

  const char* db = nvr::qvdb_path();
  DbBatch batch(db);
  const bool written = copy_record_schedules(db, schedule.get(), pick.mask) == 0 &&
                       copy_table_column_int(db, "record", "mode", plan_mode, mode_mask, "id") == 0;
  const int32_t stored = written ? batch.commit() : -1;  // else rolled back
  if (stored == 0) nvr::tell_daemon(kReqPlanModeChanged, mode_mask);
  nvr::finish_change(stored, {kReqScheduleWritten, &pick.mask, sizeof pick.mask},
                     {kLogSubChangeSettings, kLogParamRecordSchedule, logged_port(pick.last)});
}

// "/6042"
void on_get_record_mode(char*) {
  const int limit =
      std::clamp(get_param_int(nvr::qvdb_path(), "max_cameras", 32), 0, kRecordChannels);
  std::vector<RecordParams> records(kRecordChannels);
  read_records(nvr::qvdb_path(), records.data());
  nvr::Json list = nvr::json_new_array();
  for (int c = 0; c < limit; ++c) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "id", records[c].id);
    nvr::json_add_int(item.get(), "mode", records[c].mode);
    nvr::json_append(list.get(), std::move(item));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "records", std::move(list));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6043": element i always configures channel i; its "id" is only checked.
void on_set_record_mode(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  std::vector<RecordParams> records(kRecordChannels);
  read_records(nvr::qvdb_path(), records.data());
  json_object* list = nvr::json_get(request.get(), "records");
  const size_t count = nvr::json_array_size(list);
  // More elements than channels cannot all be stored: refused whole.
  bool refused = count > static_cast<size_t>(kRecordChannels);
  for (size_t i = 0; i < count && !refused; ++i) {
    json_object* element = nvr::json_at(list, i);
    int32_t id = 0, mode = 0;
    refused = !nvr::json_read_int(element, "id", &id, 0, kRecordChannels - 1) ||
              !nvr::json_read_int(element, "mode", &mode, 0, kPlanModeMax);
    records[i].id = static_cast<int32_t>(i);
    records[i].mode = mode;
  }
  if (refused) {
    cgi_writeback_webserver(kRespText, "ERROR");
    return;
  }
  const uint64_t written = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
  if (write_records(nvr::qvdb_path(), records.data(), written) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamRecordMode, 0);
  cgi_writeback_webserver(kRespText, "OK");
  for (int32_t i = 0; i < static_cast<int32_t>(count); ++i) nvr::tell_daemon(kReqModeWritten, i);
}

// "/6044"
void on_get_record_param(char* data) {
  const std::optional<int32_t> channel = record_channel_from_text(data);
  if (!channel) return;
  RecordParams record{};
  read_record(nvr::qvdb_path(), &record, *channel);
  CameraRecordFields camera{};
  read_camera_record_fields(nvr::qvdb_path(), &camera, *channel);
  const RecordParamAnswer fields{*channel,
                                 record.prevRecordOn,
                                 record.prevRecordDuration,
                                 record.postRecordOn,
                                 record.postRecordDuration,
                                 record.audioEnable,
                                 camera.recordStream,
                                 record.recordExpDate,
                                 camera.anr,
                                 camera.enable,
                                 camera.protocol,
                                 camera.poeChannel};
  nvr::Json answer(db_record_to_json(kRecordParamAnswer, &fields));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6045"
void on_set_record_param(char* data) {
  nvr::Json request = nvr::parse_request(data);
  RecordParamRequest set{};
  if (!request || nvr::json_get(request.get(), "cnt") == nullptr ||
      nvr::json_get(request.get(), "chnid") == nullptr ||
      nvr::read_policy(request.get(), kRecordParamPolicy, &set) != 0)
    return;

  const char* db = nvr::qvdb_path();
  std::vector<RecordParams> records(kRecordChannels);
  std::vector<CameraRecordFields> cameras(kRecordChannels);
  read_records(db, records.data());
  read_camera_records_fields(db, cameras.data());

  const ChannelPick pick = pick_channels(request.get());
  RecordChannelList written{};
  AnrRequest anr{};
  anr.anr = set.camAnr;
  uint64_t stream_mask = 0, anr_mask = 0;
  for (int c : pick.channels) {
    RecordParams& record = records[c];
    record.prevRecordOn = set.prevRecordOn;
    record.prevRecordDuration = set.prevRecordDuration;
    record.postRecordOn = set.postRecordOn;
    record.postRecordDuration = set.postRecordDuration;
    record.audioEnable = set.audioEnable;
    record.recordExpDate = set.recordExpDate;
    written.channels[written.count++] = c;
    if (cameras[c].recordStream != set.recordStreamType) stream_mask |= bit(c);
    if (cameras[c].anr != set.camAnr && anr_applies(cameras[c], set.camAnr)) {
      anr.channels[anr.count++] = c;
      anr_mask |= bit(c);
    }
  }

  DbBatch batch(db);
  const bool stored = write_records(db, records.data(), pick.mask) == 0 &&
                      copy_table_column_int(db, "camera", "anr", set.camAnr, anr_mask, "id") == 0 &&
                      copy_table_column_int(db, "camera", "record_stream", set.recordStreamType,
                                            stream_mask, "id") == 0;
  if (!stored || batch.commit() != 0) {  // not committed: rolled back
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::tell_daemon(kReqRecordParamsWritten, written);
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamRecordParams, 0);
  nvr::ask_or_answer(on_record_ipc_callback, kReqSetAnr, anr, nvr::Silence::kJson);
}

// "/6046"
void on_get_anr_support(char* data) {
  const std::optional<int32_t> channel = record_channel_from_text(data);
  if (!channel) return;
  nvr::ask_or_answer(on_record_ipc_callback, kReqAnrSupport, *channel, nvr::Silence::kJson);
}

// "/6047"
void on_get_record_stream_info(char*) {
  nvr::ask_or_answer(on_record_ipc_callback, kReqRecordStreamInfo, nullptr, 0, nvr::Silence::kJson);
}
