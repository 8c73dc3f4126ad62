// Playback sessions: searching recordings, opening, steering and closing
// sessions. Sessions live in the daemon; the browser carries their ids.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/playback/playback_handlers.h"
#include "modules/playback/playback_wire.h"
#include "modules/playback/request_lists.h"
#include "platform/device_path.h"
#include "platform/qvdb_names.h"

namespace {

using nvr::Presence;

constexpr int64_t kI32Min = INT32_MIN;
constexpr int64_t kI32Max = INT32_MAX;

// ---- search ------------------------------------------------------------------------

struct SearchKeys {
  int32_t channel;
  int32_t session;
  int32_t stream_type;
  char start_time[32];
  char end_time[32];
};
constexpr nvr::PolicyRow kSearchPolicy[] = {
    NVR_POLICY_INT(SearchKeys, channel, "channelId", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(SearchKeys, session, "sid", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(SearchKeys, stream_type, "streamType", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_TEXT(SearchKeys, start_time, "time", Presence::kRequired),
    NVR_POLICY_TEXT(SearchKeys, end_time, "endTime", Presence::kRequired),
};

// The channel characters stop at the device's channel count and at 64.
SearchRequest search_request(const SearchKeys& keys) {
  DbDevice device{};
  db_get_device(nvr::qvdb_path(), &device);
  const int32_t bound = std::clamp(device.max_channels, 0, 64);
  SearchRequest request{};
  for (int32_t n = 0; n < bound; ++n) request.channels[n] = n == keys.channel ? '1' : '0';
  request.one = 1;
  request.sub_stream = keys.stream_type == 1 ? 1 : 0;
  request.minus_one[0] = request.minus_one[1] = -1;
  std::memcpy(request.start_time, keys.start_time, sizeof request.start_time);
  std::memcpy(request.end_time, keys.end_time, sizeof request.end_time);
  return request;
}

SessionList session_list(const int32_t* ids, int32_t count) {
  SessionList list{};
  std::copy_n(ids, std::clamp(count, 0, kMaxSessions), list.sessions);
  list.count = count;
  return list;
}

// ---- start -----------------------------------------------------------------------------

struct StartKeys {
  int32_t channel;
  int32_t session;
  char play_time[32];
  char start_time[32];
  char end_time[32];
};
constexpr nvr::PolicyRow kStartPolicy[] = {
    NVR_POLICY_INT(StartKeys, channel, "channelId", 0, kPlaybackMaxChannel, Presence::kRequired),
    NVR_POLICY_TEXT(StartKeys, play_time, "playTime", Presence::kRequired),
    NVR_POLICY_TEXT(StartKeys, start_time, "startTime", Presence::kRequired),
    NVR_POLICY_TEXT(StartKeys, end_time, "endTime", Presence::kRequired),
    NVR_POLICY_INT(StartKeys, session, "sid", kI32Min, kI32Max, Presence::kRequired),
};

// The second request of a start: where the browser fetches the session's
// stream (answered by the 8502 callback).
void ask_playback_source() {
  nvr::ask_or_answer(on_stream_callback, kReqPlaybackSource, playback_start_state().session,
                     nvr::Silence::kJson);
}

// Verdicts of the first request: 0 nothing came, 2 the daemon refused.
bool started(int32_t verdict) {
  if (verdict == 1) return true;
  cgi_error_to_webserver(kRespJson);
  return false;
}

struct MaskKeys {
  int32_t masks[8];
  char play_time[32];
};
constexpr nvr::PolicyRow kMaskPolicy[] = {
    NVR_POLICY_INT(MaskKeys, masks[0], "mask0", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[1], "mask1", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[2], "mask2", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[3], "mask3", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[4], "mask4", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[5], "mask5", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[6], "mask6", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_INT(MaskKeys, masks[7], "mask7", kI32Min, kI32Max, Presence::kRequired),
    NVR_POLICY_TEXT(MaskKeys, play_time, "playTime", Presence::kRequired),
};

// The play time as local seconds since the epoch, or -1.
int64_t local_seconds(const char* text, const char* format) {
  struct tm tm {};
  const char* end = strptime(text, format, &tm);
  if (end == nullptr) return -1;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&tm));
}

// ---- steering -------------------------------------------------------------------------

// "num" ids of array `key` as a session list to `request_id`, told without
// waiting.
void tell_session_list(char* data, int32_t request_id, const char* key) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  SessionList list{};
  list.count = session_count(request.get(), "num");
  read_id_array(request.get(), key, list.count, list.sessions);
  nvr::tell_daemon(request_id, list);
  cgi_writeback_webserver(kRespText, "OK");
}

// "chind" present, and not negative where it is a number.
bool chind_valid(json_object* request) {
  json_object* chind = nvr::json_get(request, "chind");
  if (chind == nullptr) return false;
  if (nvr::json_is(chind, json_type_int) || nvr::json_is(chind, json_type_double))
    return json_object_get_int64(chind) >= 0;
  return true;
}

// The key values of the stream-parameter routes; bad data answers the error.
nvr::Json stream_request(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) cgi_error_to_webserver(kRespJson);
  return request;
}

int32_t int_of(json_object* request, const char* key) {
  const int64_t v = nvr::json_int_or(request, key, 0);
  return v < kI32Min || v > kI32Max ? 0 : static_cast<int32_t>(v);
}

}  // namespace

void on_search_record_section(char* data) {
  SearchKeys keys{};
  if (nvr::read_request(data, kSearchPolicy, &keys) != 0) return;
  const SearchRequest request = search_request(keys);
  if (keys.session >= 0) {
    nvr::tell_daemon(kReqCloseSessions, session_list(&keys.session, 1));
    nvr::tell_daemon(kReqCloseSession, keys.session);
  }
  nvr::ask_or_answer(on_stream_callback, kReqSearchRecords, request, nvr::Silence::kJson);
}

void on_get_search_page(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  SearchPageRequest page{};
  page.session = int_of(request.get(), "sid");
  page.page = int_of(request.get(), "page");
  nvr::ask_or_answer(on_stream_callback, kReqSearchPage, page, nvr::Silence::kJson);
}

void on_start_playback(char* data) {
  StartKeys keys{};
  if (nvr::read_request(data, kStartPolicy, &keys) != 0) return;
  PlaybackStartRequest request{};
  request.channel = keys.channel;
  request.session = keys.session;
  std::memcpy(request.start_time, keys.start_time, sizeof request.start_time);
  std::memcpy(request.end_time, keys.end_time, sizeof request.end_time);
  std::memcpy(request.play_time, keys.play_time, sizeof request.play_time);
  if (!started(nvr::ask_daemon(on_stream_callback, kReqStartPlayback, &request, sizeof request)))
    return;
  PlaybackStart& start = playback_start_state();
  start.session = keys.session;
  std::memcpy(start.play_time, keys.play_time, sizeof start.play_time);
  ask_playback_source();
  cgi_send_operation_log(kLogSubPlayback, kLogParamNone, nvr::log_channel(keys.channel));
}

void on_start_playback_by_mask(char* data) {
  MaskKeys keys{};
  if (nvr::read_request(data, kMaskPolicy, &keys) != 0) return;
  const int64_t seconds = local_seconds(keys.play_time, "%Y-%m-%d %H:%M:%S");
  if (seconds < 0) return;
  MaskedStartRequest request{};
  request.play_seconds = seconds;
  std::memcpy(request.play_time, keys.play_time, sizeof request.play_time);
  std::memcpy(request.masks, keys.masks, sizeof request.masks);
  if (!started(
          nvr::ask_daemon(on_stream_callback, kReqStartPlaybackMask, &request, sizeof request)))
    return;
  ask_playback_source();
  cgi_send_operation_log(kLogSubPlayback, kLogParamNone, 0);
}

void on_get_playback_time(char* data) {
  if (data == nullptr) return;
  const int32_t session = atoi(data);
  nvr::ask_or_answer(on_stream_callback, kReqPlayPosition, session, nvr::Silence::kJson);
}

void on_stop_playback(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  SessionList list{};
  list.count = session_count(request.get(), "num");
  read_id_array(request.get(), "sid", list.count, list.sessions);
  for (int32_t i = 0; i < list.count; ++i)
    if (list.sessions[i] >= 0) nvr::tell_daemon(kReqCloseSession, list.sessions[i]);
  nvr::tell_daemon(kReqStopPlayback, list);
  if (nvr::json_int_or(request.get(), "close", 0) == 1) nvr::tell_daemon(kReqCloseSessions, list);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_pause_playback(char* data) { tell_session_list(data, kReqPausePlayback, "sid"); }

void on_step_foward_playback(char* data) { tell_session_list(data, kReqStepPlayback, "sid"); }

void on_step_playback_batch(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  SessionList list{};
  read_whole_id_array(request.get(), "sessionId", list.sessions);
  nvr::tell_daemon(kReqStepBatch, list);  // the count word stays 0
  cgi_writeback_webserver(kRespText, "OK");
}

void on_resume_playback(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const ResumeRequest resume{int_of(request.get(), "sid"), int_of(request.get(), "direction")};
  nvr::tell_daemon(kReqResumePlayback, resume);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_fastforward_playback(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || !chind_valid(request.get())) return;
  SessionList list{};
  list.count = session_count(request.get(), "num");
  read_id_array(request.get(), "sessionId", list.count, list.sessions);
  read_id_array(request.get(), "speed", list.count, list.speeds);
  nvr::tell_daemon(kReqFastForward, list);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_slowforward_playback(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request || !chind_valid(request.get())) return;
  SpeedRequest speed{};
  speed.speed = int_of(request.get(), "speed");
  speed.count = session_count(request.get(), "num");
  read_id_array(request.get(), "chind", speed.count, speed.sessions);
  nvr::tell_daemon(kReqSlowForward, speed);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_set_speed_playback(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  SpeedRequest speed{};
  speed.speed = int_of(request.get(), "speed");
  speed.count = session_count(request.get(), "num");
  read_id_array(request.get(), "sid", speed.count, speed.sessions);
  speed.single = speed.speed == 2 && speed.count == 1 ? 1 : 0;
  nvr::tell_daemon(kReqSetSpeed, speed);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_jump_playback(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  for (const char* key : {"jumpTime", "sid", "chnid", "num"})
    if (nvr::json_get(request.get(), key) == nullptr) return;
  JumpRequest jump{};
  jump.count = session_count(request.get(), "num");
  read_id_array(request.get(), "sid", jump.count, jump.sessions);
  read_id_array(request.get(), "chnid", jump.count, jump.channels);
  nvr::json_copy_text(nvr::json_get(request.get(), "jumpTime"), jump.jump_time,
                      sizeof jump.jump_time);
  if (jump.count < 1) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_stream_callback, kReqJumpPlayback, jump, nvr::Silence::kJson);
}

void on_set_playback_stream(char* data) {
  nvr::Json request = stream_request(data);
  if (!request) return;
  json_object* r = request.get();
  const PlaybackStreamParam param{
      int_of(r, "ch"),        int_of(r, "sid"),     int_of(r, "trancodingmode"),
      int_of(r, "framesize"), int_of(r, "bitrate"), int_of(r, "framerate")};
  nvr::ask_or_answer(on_stream_callback, kReqSetPlaybackStream, param, nvr::Silence::kJson);
}

void on_get_playback_stream_state(char* data) {
  nvr::Json request = stream_request(data);
  if (!request) return;
  const PlaybackStreamKey key{int_of(request.get(), "ch"), int_of(request.get(), "sid")};
  nvr::ask_or_answer(on_stream_callback, kReqPlaybackStreamState, key, nvr::Silence::kJson);
}
