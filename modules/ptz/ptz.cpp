// Steering PTZ cameras: moves, presets, tours, patterns, zoom and speeds, the
// serial port of analogue heads, and camera-side PTZ settings. The daemon
// does the moving; this module fills its records, keeps the port settings,
// speeds and tours, and answers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/ptz/ptz_handlers.h"
#include "modules/ptz/ptz_records.h"
#include "modules/ptz/ptz_wire.h"
#include "platform/device_path.h"

namespace {

using nvr::Presence;
constexpr int64_t kAnyInt32Min = INT32_MIN;
constexpr int64_t kAnyInt32Max = INT32_MAX;

// The channels the recorder has ("max_cameras", at most 64).
int32_t max_cameras() {
  return std::clamp(get_param_int(nvr::qvdb_path(), "max_cameras", 32), 0, kPtzChannels);
}

void log_ptz(int32_t param_type, int64_t channel) {
  cgi_send_operation_log(kLogSubPtz, param_type, nvr::log_channel(channel));
}

// ---- reply callbacks ----------------------------------------------------------------

void on_ip_ptzsupport_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  nvr::answer_text(nvr::record_at<int32_t>(records, 0) == -1 ? "-1" : "0");
}

nvr::Json tour_json(const PtzTourColumns& tour) {
  nvr::Json points = nvr::json_new_array();
  for (int i = 0; i < kPtzTourPoints && tour.presets[i] >= 1; ++i) {
    nvr::Json point = nvr::json_new_object();
    nvr::json_add_int(point.get(), "preset_id", tour.presets[i]);
    nvr::json_add_int(point.get(), "speed", tour.speeds[i]);
    nvr::json_add_int(point.get(), "timeout", tour.dwells[i]);
    nvr::json_append(points.get(), std::move(point));
  }
  return points;
}

nvr::Json int_list(const int32_t* values, int count) {
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < count; ++i) nvr::json_append(list.get(), nvr::json_new_int(values[i]));
  return list;
}

nvr::Json ptz_state_json(const PtzState& state) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "status", "OK");
  nvr::Json presets = nvr::json_new_array();
  for (const PtzPresetState& preset : state.presets) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "enable", preset.enable);
    nvr::json_add(item.get(), "name",
                  nvr::json_new_string_bounded(preset.name, sizeof preset.name));
    nvr::json_append(presets.get(), std::move(item));
  }
  nvr::json_add(answer.get(), "PRESET", std::move(presets));
  nvr::Json tours = nvr::json_new_array();
  for (const PtzTourColumns& tour : state.tours) nvr::json_append(tours.get(), tour_json(tour));
  nvr::json_add(answer.get(), "TOUR", std::move(tours));
  nvr::Json patterns = nvr::json_new_array();
  for (int32_t enable : state.patterns) {
    nvr::Json item = nvr::json_new_object();
    nvr::json_add_int(item.get(), "enable", enable);
    nvr::json_append(patterns.get(), std::move(item));
  }
  nvr::json_add(answer.get(), "PATTERN", std::move(patterns));
  nvr::json_add(answer.get(), "autoscan_status",
                int_list(state.autoScanStatus, kPtzAutoScanValues));
  nvr::Json groups = nvr::json_new_array();
  for (const auto& group : state.tourStatus) nvr::json_append(groups.get(), int_list(group, 8));
  nvr::json_add(answer.get(), "tour_status", std::move(groups));
  return answer;
}

void on_ptz_reply_info(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::Json answer = nvr::json_new_object();
    nvr::json_add_string(answer.get(), "status", "Error");
    nvr::answer_json(answer);
    return;
  }
  auto state = std::make_unique<PtzState>();
  std::memcpy(state.get(), records, sizeof(PtzState));
  nvr::answer_json(ptz_state_json(*state));
}

// The basic settings as the pages name them ("channelMask" is only written).
#define BASIC_FIELD(member, key) DB_FIELD(PtzBasicSettings, member, key, DbType::I32)
constexpr DbField kPtzBasicFields[] = {
    BASIC_FIELD(status, "status"),
    BASIC_FIELD(channel, "chnId"),
    BASIC_FIELD(zoomStatus, "zoomStatus"),
    BASIC_FIELD(panTiltStatus, "panTiltStatus"),
    BASIC_FIELD(presetStatus, "presetStatus"),
    BASIC_FIELD(patrolStatus, "patrolStatus"),
    BASIC_FIELD(patternStatus, "patternStatus"),
    BASIC_FIELD(autoScanStatus, "autoScanStatus"),
    BASIC_FIELD(presetFreezing, "presetFreezing"),
    BASIC_FIELD(presetSpeed, "presetSpeed"),
    BASIC_FIELD(manualSpeed, "manualSpeed"),
    BASIC_FIELD(patrolRecovering, "patrolRecovering"),
    BASIC_FIELD(patrolRecoveryTime, "patrolRecoveryTime"),
    BASIC_FIELD(focusMode, "focusMode"),
    BASIC_FIELD(minFocusDistance, "minFocusDistance"),
    BASIC_FIELD(resumeTime, "resumeTime"),
    BASIC_FIELD(fanWorkingMode, "fanWorkingMode"),
};
#undef BASIC_FIELD
constexpr DbRecord kPtzBasicRecord = {nullptr, nullptr, sizeof(PtzBasicSettings), kPtzBasicFields};

void on_cgi_get_ptz_basic_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  const auto basic = nvr::record_at<PtzBasicSettings>(records, 0);
  nvr::answer_json(nvr::Json(db_record_to_json(kPtzBasicRecord, &basic)));
}

void on_set_ipc_common_cb(uint32_t count, const void*) {
  if (count >= 1) nvr::answer_text("OK");
}

void on_cgi_set_ptz_control_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", nvr::record_at<int32_t>(records, 0));
  nvr::answer_json(answer);
}

void on_cgi_get_led_status_cb(uint32_t count, const void* records) {
  if (count < 1) {
    nvr::answer_error(kRespJson);
    return;
  }
  const auto led = nvr::record_at<LedStatusReply>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "chnid", led.channel);
  nvr::json_add_int(answer.get(), "status", led.status);
  nvr::answer_json(answer);
}

constexpr nvr::ReplyRow kPtzReplies[] = {
    {kReplyPtzSupport, sizeof(int32_t), on_ip_ptzsupport_cb},
    {kReplyPtzInfo, sizeof(PtzState), on_ptz_reply_info},
    {kReplyFishPtzInfo, sizeof(PtzState), on_ptz_reply_info},
    {kReplyPtzBasic, sizeof(PtzBasicSettings), on_cgi_get_ptz_basic_cb},
    {kReplySetPtzBasic, sizeof(int32_t), on_cgi_common_json_cb},
    {kReplyCameraParam, 1, on_set_ipc_common_cb},  // any payload is success
    {kReplyPtzControl, sizeof(int32_t), on_cgi_set_ptz_control_cb},
    {kReplyLedStatus, sizeof(LedStatusReply), on_cgi_get_led_status_cb},
};

// Sets one camera-side setting through the daemon and answers "OK" when it
// replied, "CGI ERROR" otherwise.
void ask_camera_param(int32_t channel, const char* name, const char* value) {
  CameraParamRecord record{};
  record.channel = channel;
  std::snprintf(record.page, sizeof record.page, "%s", "vsetting.html");
  std::snprintf(record.name, sizeof record.name, "%s", name);
  std::snprintf(record.value, sizeof record.value, "%s", value);
  nvr::ask_or_answer(on_ptz_ipc_callback, kReqCameraParam, record, nvr::Silence::kText);
}

void ask_camera_speed(int32_t channel, int32_t pan_speed) {
  char value[16];
  std::snprintf(value, sizeof value, "%d", camera_ptz_speed(pan_speed));
  ask_camera_param(channel, "ptzspeed", value);
}

// ---- moves and presets ------------------------------------------------------------

constexpr size_t kPtzPresetNameMax = 30;

struct PtzMoveRequest {
  PtzCommand command;
  int32_t autoFocus;
  char name[32];  // preset name of a save: 31 characters for the camera, 30 for the daemon
};

#define MOVE_INT(member, key, min, max, presence) \
  NVR_POLICY_INT(PtzMoveRequest, command.member, key, min, max, presence)

constexpr nvr::PolicyRow kPtzCmdPolicy[] = {
    MOVE_INT(channel, "channelId", 0, kPtzChannels - 1, Presence::kRequired),
    MOVE_INT(action, "action", 0, kAnyInt32Max, Presence::kRequired),
    MOVE_INT(panSpeed, "panSpeed", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    MOVE_INT(tiltSpeed, "tiltSpeed", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    MOVE_INT(zoomSpeed, "zoomSpeed", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    MOVE_INT(focusSpeed, "focusSpeed", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    MOVE_INT(fisheyeType, "fisheyeType", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    MOVE_INT(streamId, "streamId", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    NVR_POLICY_INT(PtzMoveRequest, autoFocus, "isAutoFocus", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

constexpr nvr::PolicyRow kPresetPolicy[] = {
    MOVE_INT(channel, "channelId", 0, kPtzChannels - 1, Presence::kRequired),
    MOVE_INT(id, "presetId", 0, kPtzMaxPresetId, Presence::kRequired),
    MOVE_INT(action, "action", 0, kAnyInt32Max, Presence::kRequired),
    MOVE_INT(panSpeed, "panSpeed", 0, kAnyInt32Max, Presence::kRequired),
    MOVE_INT(tiltSpeed, "tiltSpeed", 0, kAnyInt32Max, Presence::kRequired),
    MOVE_INT(zoomSpeed, "zoomSpeed", 0, kAnyInt32Max, Presence::kRequired),
    MOVE_INT(focusSpeed, "focusSpeed", 0, kAnyInt32Max, Presence::kRequired),
    MOVE_INT(fisheyeType, "fisheyeType", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    MOVE_INT(streamId, "streamId", kAnyInt32Min, kAnyInt32Max, Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(PtzMoveRequest, name, "name", Presence::kAbsentIsZero),
};
#undef MOVE_INT

// A move's request read and its channel within the recorder's cameras.
bool read_move(const char* data, std::span<const nvr::PolicyRow> policy, PtzMoveRequest* move) {
  return nvr::read_request(data, policy, move) == 0 && move->command.channel < max_cameras();
}

// ---- serial port and speeds ----------------------------------------------------------

constexpr nvr::PolicyRow kPortPolicy[] = {
    NVR_POLICY_INT(PtzPort, connectType, "connectType", 0, 1, Presence::kRequired),
    NVR_POLICY_INT(PtzPort, baudRate, "baudRate", 0, kAnyInt32Max, Presence::kRequired),
    NVR_POLICY_INT(PtzPort, dataBits, "dataBits", 5, 8, Presence::kRequired),
    NVR_POLICY_INT(PtzPort, stopBits, "stopBits", 0, kAnyInt32Max, Presence::kRequired),
    NVR_POLICY_INT(PtzPort, parityType, "parityType", 0, 2, Presence::kRequired),
    NVR_POLICY_INT(PtzPort, protocol, "protocol", 0, 13, Presence::kRequired),
    NVR_POLICY_INT(PtzPort, address, "address", 0, kAnyInt32Max, Presence::kRequired),
};

struct CameraKey {
  int32_t channel;
};
constexpr nvr::PolicyRow kCamIdPolicy[] = {
    NVR_POLICY_INT(CameraKey, channel, "camId", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
};

// ---- tours -------------------------------------------------------------------------------

struct TourRequest {
  int32_t channel;
  int32_t tourId;  // 1-based
  int32_t rowSize;
  int32_t streamId;
  int32_t fisheyeType;
};
constexpr nvr::PolicyRow kTourSetPolicy[] = {
    NVR_POLICY_INT(TourRequest, channel, "chn", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
    NVR_POLICY_INT(TourRequest, tourId, "tourid", 1, kPtzTours, Presence::kRequired),
    NVR_POLICY_INT(TourRequest, rowSize, "rowsize", 0, kAnyInt32Max, Presence::kAbsentIsZero),
    NVR_POLICY_INT(TourRequest, streamId, "streamId", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

// The points of "path": at most "rowsize", at most 48, and no more than the
// path holds. A point naming a preset the camera cannot have refuses all.
int read_tour_points(json_object* request, int32_t row_size, PtzTourPoint* points) {
  json_object* path = nvr::json_get(request, "path");
  const int count = static_cast<int>(
      std::min<size_t>({static_cast<size_t>(row_size), static_cast<size_t>(kPtzTourPoints),
                        nvr::json_array_size(path)}));
  for (int i = 0; i < count; ++i) {
    json_object* item = nvr::json_at(path, static_cast<size_t>(i));
    PtzTourPoint point{};
    if (nvr::json_get(item, "preset") != nullptr &&
        !nvr::json_read_int(item, "preset", &point.preset, 0, kPtzMaxPresetId))
      return -1;
    point.dwell = static_cast<int32_t>(
        std::clamp<int64_t>(nvr::json_int_or(item, "time", 0), INT32_MIN, INT32_MAX));
    point.speed = static_cast<int32_t>(
        std::clamp<int64_t>(nvr::json_int_or(item, "speed", 0), INT32_MIN, INT32_MAX));
    points[i] = point;
  }
  return count;
}

constexpr nvr::PolicyRow kTourCommandPolicy[] = {
    NVR_POLICY_INT(PtzTourCommand, channel, "chn", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
    NVR_POLICY_INT(PtzTourCommand, tourId, "tourid", 1, kPtzTours, Presence::kRequired),
    NVR_POLICY_INT(PtzTourCommand, fisheyeType, "fisheyeType", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
    NVR_POLICY_INT(PtzTourCommand, streamId, "streamId", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

// ---- commands told without waiting (nvr::run_notice_route) ------------------------------

using nvr::NoticeRoute;
using nvr::run_notice_route;

constexpr nvr::PolicyRow kPresetCallPolicy[] = {
    NVR_POLICY_INT(PtzChannelValue, channel, "channelId", 0, kPtzChannels - 1,
                   Presence::kAbsentIsZero),
    NVR_POLICY_INT(PtzChannelValue, value, "action", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};
constexpr nvr::PolicyRow kZoomPolicy[] = {
    NVR_POLICY_INT(PtzZoomRequest, channel, "camId", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
    NVR_POLICY_INT(PtzZoomRequest, zoom, "Zoom", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
    NVR_POLICY_INT(PtzZoomRequest, zoomSpeed, "ZoomSpeed", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

constexpr NoticeRoute kTourRun{
    kReqPtzTourRun, kTourCommandPolicy, sizeof(PtzTourCommand), {kLogSubPtz, kLogParamNone}};
constexpr NoticeRoute kTourStop{
    kReqPtzTourStop, kTourCommandPolicy, sizeof(PtzTourCommand), {kLogSubPtz, kLogParamNone}};
constexpr NoticeRoute kPresetCall{
    kReqPtzPresetCall, kPresetCallPolicy, sizeof(PtzChannelValue), {kLogSubPtz, kLogParamNone}};
constexpr NoticeRoute kZoom{
    kReqPtzZoom, kZoomPolicy, sizeof(PtzZoomRequest), {kLogSubPtz, kLogParamNone}};

// ---- pattern, state, camera-side settings -----------------------------------------------

struct PatternRequest {
  int32_t channel;
  int32_t patternId;
  int32_t action;
};
constexpr nvr::PolicyRow kPatternPolicy[] = {
    NVR_POLICY_INT(PatternRequest, channel, "chn", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
    NVR_POLICY_INT(PatternRequest, patternId, "tourid", 1, kPtzPatterns, Presence::kRequired),
    NVR_POLICY_INT(PatternRequest, action, "action", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

struct InfoRequest {
  int32_t channel;
  int32_t fisheyeType;
  int32_t streamId;
};
constexpr nvr::PolicyRow kInfoPolicy[] = {
    NVR_POLICY_INT(InfoRequest, channel, "chn", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
    NVR_POLICY_INT(InfoRequest, fisheyeType, "fisheyeType", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
    NVR_POLICY_INT(InfoRequest, streamId, "streamId", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

struct SpeedRequest {
  int32_t channel;
  int32_t speed;
};
constexpr nvr::PolicyRow kIpcSpeedPolicy[] = {
    NVR_POLICY_INT(SpeedRequest, channel, "chn", 0, kPtzChannels - 1, Presence::kAbsentIsZero),
    NVR_POLICY_INT(SpeedRequest, speed, "Speed", kAnyInt32Min, kAnyInt32Max,
                   Presence::kAbsentIsZero),
};

// The channel of the camera-side routes, which answer the JSON error for
// any request they cannot take.
std::optional<int32_t> channel_or_error(const char* data, const char* key, json_object** object,
                                        nvr::Json* holder) {
  *holder = nvr::parse_request(data);
  int32_t channel = 0;
  if (!*holder || !nvr::json_read_int(holder->get(), key, &channel, 0, kPtzChannels - 1)) {
    cgi_error_to_webserver(kRespJson);
    return std::nullopt;
  }
  if (object) *object = holder->get();
  return channel;
}

}  // namespace

int32_t camera_ptz_speed(int32_t pan_speed) { return pan_speed <= 0 ? 1 : pan_speed - 1; }

int32_t pattern_action_code(int64_t action) {
  constexpr int32_t kCodes[] = {26, 21, 25, 27, 40};
  return action >= 0 && action < 5 ? kCodes[action] : 0;
}

void on_ptz_ipc_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kPtzReplies, header, payload);
}

// "/5000"
void on_send_ptz_cmd(char* data) {
  PtzMoveRequest move{};
  if (!read_move(data, kPtzCmdPolicy, &move)) return;
  PtzCommand& command = move.command;
  nvr::tell_daemon(kReqPtzCommand, command);
  if (command.action == kPtzActionZoomStop && move.autoFocus == 1) {
    PtzCommand focus = command;
    focus.action = kPtzActionAutoFocus;
    nvr::tell_daemon(kReqPtzCommand, focus);
  }
  ask_camera_speed(command.channel, command.panSpeed);
  log_ptz(kLogParamNone, command.channel);
}

// "/5001"
void on_preset_op(char* data) {
  PtzMoveRequest move{};
  if (!read_move(data, kPresetPolicy, &move)) return;
  PtzCommand& command = move.command;
  const bool saving = command.action == kPtzActionSavePreset;
  if (saving)  // the daemon takes at most 30 characters
    std::memcpy(command.presetName, move.name, strnlen(move.name, kPtzPresetNameMax));
  nvr::tell_daemon(kReqPtzPreset, command);
  if (saving && command.fisheyeType == 1) {
    char value[128];
    std::snprintf(value, sizeof value, "%d:%d:%s", command.streamId, command.id, move.name);
    ask_camera_param(command.channel, "ipncptz=setfishpreset", value);
  } else {
    cgi_writeback_webserver(kRespText, "OK");
  }
  log_ptz(kLogParamPtzSettings, command.channel);
}

// "/6050"
void on_get_ptzport_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = 0;
  if (!nvr::json_read_int(request.get(), "chnid", &channel, 0, 15)) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  PtzPort port{};
  read_ptz_port(nvr::qvdb_path(), &port, channel);
  port.channel = channel;
  nvr::Json answer(db_record_to_json(kPtzPortRecord, &port));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6051"
void on_set_ptzport_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  PtzPort port{};
  if (!request || nvr::json_get(request.get(), "cnt") == nullptr ||
      nvr::json_get(request.get(), "chnid") == nullptr ||
      nvr::read_policy(request.get(), kPortPolicy, &port) != 0)
    return;
  json_object* list = nvr::json_get(request.get(), "chnid");
  const int64_t count = nvr::json_int_or(request.get(), "cnt", 0);
  const size_t listed = std::min<size_t>(nvr::json_array_size(list),
                                         static_cast<size_t>(std::max<int64_t>(count, 0)));
  int32_t channels[kPtzChannels];
  int stored = 0;
  const char* db = nvr::qvdb_path();
  DbBatch batch(db);
  for (size_t i = 0; i < listed && stored < kPtzChannels; ++i) {
    const int64_t value = nvr::json_int64(nvr::json_at(list, i)).value_or(-1);
    if (value < 0 || value >= kPtzChannels) continue;
    port.channel = static_cast<int32_t>(value);
    write_ptz_port(db, &port);
    channels[stored++] = port.channel;
  }
  if (batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  for (int i = 0; i < stored; ++i) {
    nvr::tell_daemon(kReqPtzPortChanged, channels[i]);
    log_ptz(kLogParamPtzSettings, channels[i]);
  }
  cgi_writeback_webserver(kRespText, "OK");
}

// "/6052"
void on_get_ptzsupport_info(char* data) {
  CameraKey key{};
  if (nvr::read_request(data, kCamIdPolicy, &key) != 0) return;
  nvr::ask_or_answer(on_ptz_ipc_callback, kReqPtzSupport, key.channel, nvr::Silence::kText);
}

// "/6053"
void on_get_ptz_speed(char* data) {
  CameraKey key{};
  if (nvr::read_request(data, kCamIdPolicy, &key) != 0) return;
  PtzSpeed speed{};
  read_ptz_speed(nvr::qvdb_path(), &speed, key.channel);
  nvr::Json answer(db_record_to_json(kPtzSpeedRecord, &speed));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/6054": the four speeds pass unchecked, as the camera takes them.
void on_set_ptz_speed(char* data) {
  nvr::Json request = nvr::parse_request(data);
  CameraKey key{};
  if (nvr::read_policy(request.get(), kCamIdPolicy, &key) != 0) return;
  PtzSpeed speed{};
  read_ptz_speed(nvr::qvdb_path(), &speed, key.channel);
  db_record_from_json(kPtzSpeedRecord, request.get(), &speed);
  speed.channel = key.channel;
  nvr::finish_change(write_ptz_speed(nvr::qvdb_path(), &speed), {},
                     {kLogSubPtz, kLogParamPtzSettings, nvr::log_channel(key.channel)});
}

// "/6056": the camera keeps fisheye tours itself.
void on_set_fish_ptz_tour_set(char* data) {
  nvr::Json request = nvr::parse_request(data);
  TourRequest tour{};
  if (nvr::read_policy(request.get(), kTourSetPolicy, &tour) != 0) return;
  PtzTourPoint points[kPtzTourPoints]{};
  const int count = read_tour_points(request.get(), tour.rowSize, points);
  if (count < 0) return;
  auto record = std::make_unique<FishTourRecord>();
  record->channel = tour.channel;
  record->streamId = tour.streamId;
  record->tourIndex = tour.tourId - 1;
  PtzTourColumns& columns = record->tours[tour.tourId - 1];
  for (int i = 0; i < count; ++i) {
    columns.presets[i] = points[i].preset;
    columns.dwells[i] = points[i].dwell;
    columns.speeds[i] = points[i].speed;
  }
  nvr::finish_change(0, {kReqFishTourSet, record.get(), sizeof *record},
                     {kLogSubPtz, kLogParamPtzSettings, nvr::log_channel(tour.channel)});
}

// "/6055": the points from "rowsize" on keep what the table holds.
void on_set_ptz_tour_set(char* data) {
  nvr::Json request = nvr::parse_request(data);
  TourRequest tour{};
  if (nvr::read_policy(request.get(), kTourSetPolicy, &tour) != 0) return;
  PtzTourRecord record{};
  const int count = read_tour_points(request.get(), tour.rowSize, record.points);
  if (count < 0) return;
  record.channel = tour.channel;
  record.tourId = tour.tourId;
  record.count = count;
  auto table = std::make_unique<PtzTourTable>();
  read_ptz_tour(nvr::qvdb_path(), table.get(), tour.channel);
  std::copy_n(record.points, count, table->tours[tour.tourId - 1]);
  nvr::finish_change(write_ptz_tour(nvr::qvdb_path(), table.get(), tour.channel),
                     {kReqPtzTourSet, &record, sizeof record},
                     {kLogSubPtz, kLogParamPtzSettings, nvr::log_channel(tour.channel)});
}

// "/6057"
void on_set_ptz_tour_clear(char* data) {
  PtzTourCommand command{};
  if (nvr::read_request(data, kTourCommandPolicy, &command) != 0) return;
  auto table = std::make_unique<PtzTourTable>();
  read_ptz_tour(nvr::qvdb_path(), table.get(), command.channel);
  for (PtzTourPoint& point : table->tours[command.tourId - 1]) point.preset = 0;
  nvr::finish_change(write_ptz_tour(nvr::qvdb_path(), table.get(), command.channel),
                     {kReqPtzTourClear, &command, sizeof command},
                     {kLogSubPtz, kLogParamPtzSettings, nvr::log_channel(command.channel)});
}

// "/5002", "/5003"
void on_set_ptz_tour_run(char* data) { run_notice_route(data, kTourRun); }
void on_set_ptz_tour_stop(char* data) { run_notice_route(data, kTourStop); }

// "/5004"
void on_set_ptz_pattern(char* data) {
  PatternRequest pattern{};
  if (nvr::read_request(data, kPatternPolicy, &pattern) != 0) return;
  PtzCommand command{};
  command.channel = pattern.channel;
  command.id = pattern.patternId;
  command.action = pattern_action_code(pattern.action);
  nvr::finish_change(0, {kReqPtzPattern, &command, sizeof command},
                     {kLogSubPtz, kLogParamPtzSettings, nvr::log_channel(pattern.channel)});
}

// "/5005"
void on_get_ptz_info(char* data) {
  InfoRequest info{};
  if (nvr::read_request(data, kInfoPolicy, &info) != 0) return;
  if (info.fisheyeType != 0) {
    const PtzChannelValue request{info.channel, info.streamId};
    nvr::ask_or_answer(on_ptz_ipc_callback, kReqFishPtzInfo, request, nvr::Silence::kJson);
  } else {
    nvr::ask_or_answer(on_ptz_ipc_callback, kReqPtzInfo, info.channel, nvr::Silence::kJson);
  }
}

// "/5006", "/5007"
void on_set_ptz_preset_call(char* data) { run_notice_route(data, kPresetCall); }
void on_set_ptz_zomm(char* data) { run_notice_route(data, kZoom); }

// "/5008"
void on_set_ipc_speed(char* data) {
  SpeedRequest speed{};
  if (nvr::read_request(data, kIpcSpeedPolicy, &speed) != 0) return;
  ask_camera_speed(speed.channel, speed.speed);
  log_ptz(kLogParamPtzSettings, speed.channel);
}

// "/5009": logged whatever the daemon answered.
void on_cgi_set_ptz_control(char* data) {
  nvr::Json holder;
  json_object* request = nullptr;
  const std::optional<int32_t> channel = channel_or_error(data, "chnid", &request, &holder);
  if (!channel) return;
  const PtzChannelValue control{
      *channel, static_cast<int32_t>(std::clamp<int64_t>(nvr::json_int_or(request, "ptzCmd", 0),
                                                         INT32_MIN, INT32_MAX))};
  nvr::ask_or_answer(on_ptz_ipc_callback, kReqPtzControl, control, nvr::Silence::kJson);
  log_ptz(kLogParamPtzSettings, *channel);
}

// "/5010"
void on_cgi_get_led_status(char* data) {
  nvr::Json holder;
  const std::optional<int32_t> channel = channel_or_error(data, "chnid", nullptr, &holder);
  if (!channel) return;
  nvr::ask_or_answer(on_ptz_ipc_callback, kReqLedStatus, *channel, nvr::Silence::kJson);
}

// "/5011"
void on_cgi_get_ptz_basic(char* data) {
  nvr::Json holder;
  const std::optional<int32_t> channel = channel_or_error(data, "chnId", nullptr, &holder);
  if (!channel) return;
  nvr::ask_or_answer(on_ptz_ipc_callback, kReqPtzBasic, *channel, nvr::Silence::kJson);
}

// "/5012"
void on_cgi_set_ptz_basic(char* data) {
  nvr::Json holder;
  json_object* request = nullptr;
  const std::optional<int32_t> channel = channel_or_error(data, "chnId", &request, &holder);
  if (!channel) return;
  PtzBasicSettings basic{};
  db_record_from_json(kPtzBasicRecord, request, &basic);
  basic.status = 0;
  basic.channel = *channel;
  nvr::json_copy_string(request, "channelMask", basic.channelMask, sizeof basic.channelMask);
  nvr::ask_or_answer(on_ptz_ipc_callback, kReqSetPtzBasic, basic, nvr::Silence::kJson);
}
