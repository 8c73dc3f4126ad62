// The playback module's reply table: every request it sends gets
// on_stream_callback, which hands each reply to its callback here.
#include <ctime>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/toolkit_files.h"
#include "frame/web_utils.h"
#include "modules/playback/playback_handlers.h"
#include "modules/playback/playback_wire.h"

namespace {

using nvr::record_at;

// A reply without a whole record answers at once what the wait running out
// would answer (nvr::answer_error).

nvr::Json status(const char* text) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "status", text);
  return answer;
}

// A text field of a record: up to its NUL or its end.
template <size_t N>
nvr::Json text_of(const char (&field)[N]) {
  return nvr::json_new_string_bounded(field, N);
}

void on_play_position_cb(uint32_t count, const void* records) {
  const int64_t position = count > 0 ? record_at<int64_t>(records, 0) : 0;
  if (position <= 0) return nvr::answer_error();
  const std::string text = nvr::local_time_text(position, "%Y-%m-%d %H:%M:%S");
  if (text.empty()) return nvr::answer_error();
  nvr::Json answer = status("OK");
  nvr::json_add_string(answer.get(), "curPlayTime", text.c_str());
  nvr::answer_json(answer);
}

void on_search_result_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_json(status("NO MATCHES"));
  const SearchResult first = record_at<SearchResult>(records, 0);
  nvr::Json answer = status("OK");
  nvr::json_add_int(answer.get(), "camId", first.channel);
  nvr::json_add_int(answer.get(), "sectionNum", count);
  nvr::json_add_int(answer.get(), "sid", first.session);
  nvr::Json sections = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i) {
    const SearchResult r = record_at<SearchResult>(records, i);
    nvr::Json section = nvr::json_new_object();
    nvr::json_add(section.get(), "startTime", text_of(r.start_time));
    nvr::json_add(section.get(), "endTime", text_of(r.end_time));
    nvr::json_add_int(section.get(), "recordType", r.record_type);
    nvr::json_add_int(section.get(), "lock", r.lock);
    nvr::json_append(sections.get(), std::move(section));
  }
  nvr::json_add(answer.get(), "section", std::move(sections));
  nvr::answer_json(answer);
}

// The first request of a start: only the verdict, 2 for a refusal.
void on_start_result_cb(uint32_t count, const void* records) {
  const bool refused = count > 0 && record_at<int32_t>(records, 0) < 0;
  cgi_set_callback_done(refused ? 2 : 1);
}

void on_masked_start_cb(uint32_t count, const void* records) {
  if (count == 0) return cgi_set_callback_done(2);
  const MaskedStartReply reply = record_at<MaskedStartReply>(records, 0);
  if (reply.failed != 0) return cgi_set_callback_done(2);
  PlaybackStart& start = playback_start_state();
  start.session = reply.session;
  std::memcpy(start.play_time, reply.real_play_time, sizeof start.play_time);
  start.play_time[sizeof start.play_time - 1] = '\0';
  cgi_set_callback_done(1);
}

void on_jump_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_error();
  nvr::answer_json(status(record_at<int32_t>(records, 0) == 0 ? "OK" : "ERROR"));
}

void stream_state_answer(uint32_t count, const void* records, bool with_status) {
  if (count == 0) return nvr::answer_error();
  const PlaybackStreamState s = record_at<PlaybackStreamState>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "ch", s.channel);
  nvr::json_add_int(answer.get(), "sid", s.session);
  nvr::json_add_int(answer.get(), "state", s.state);
  if (with_status) nvr::json_add_string(answer.get(), "status", "OK");
  nvr::answer_json(answer);
}
void on_playback_stream_cb(uint32_t count, const void* records) {
  stream_state_answer(count, records, true);
}
void on_playback_stream_state_cb(uint32_t count, const void* records) {
  stream_state_answer(count, records, false);
}

void on_image_param_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_error();
  const ImageParamReply r = record_at<ImageParamReply>(records, 0);
  if (r.result < 0) return nvr::answer_json(status("ERROR"));
  nvr::Json answer = status("OK");
  json_object* a = answer.get();
  nvr::json_add_int(a, "brightness", r.brightness);
  nvr::json_add_int(a, "contrast", r.contrast);
  nvr::json_add_int(a, "saturation", r.saturation);
  nvr::json_add_int(a, "Sharpness", r.sharpness);
  nvr::json_add_int(a, "NoiseReduction", r.noise_reduction);
  nvr::json_add_int(a, "i2ddnr", r.i2ddnr);
  nvr::json_add_int(a, "supportLpr", r.support_lpr);
  nvr::json_add_int(a, "isNtPlatform", r.nt_platform);
  nvr::json_add_int(a, "isPanoramaStitch", r.panorama_stitch);
  nvr::answer_json(answer);
}

void on_start_live_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_error();
  const LiveStartReply r = record_at<LiveStartReply>(records, 0);
  if (r.result < 0) return nvr::answer_json(status("ERROR"));
  nvr::Json answer = status("OK");
  nvr::json_add_int(answer.get(), "port", r.port);
  nvr::json_add_int(answer.get(), "direct", r.direct);
  nvr::json_add(answer.get(), "rtspAddr", text_of(r.rtsp_address));
  nvr::json_add(answer.get(), "resPath", text_of(r.resource_path));
  nvr::answer_json(answer);
  cgi_send_operation_log(kLogSubStartLive, kLogParamNone, nvr::log_channel(r.channel));
}

void on_playback_source_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_error();
  const PlaybackSourceReply r = record_at<PlaybackSourceReply>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  json_object* a = answer.get();
  nvr::json_add_int(a, "sessionId", r.session);
  nvr::json_add(a, "sourcePath", text_of(r.source_path));
  nvr::json_add_int(a, "port", r.port);
  nvr::json_add_string(a, "status", "OK");
  nvr::json_add(a, "realPlayTime", text_of(playback_start_state().play_time));
  nvr::json_add_int(a, "external_port", r.external_port);
  nvr::json_add_int(a, "external_http_port", r.external_http_port);
  nvr::json_add_int(a, "ddns_port", r.ddns_port);
  nvr::json_add_int(a, "ddns_http_port", r.ddns_http_port);
  nvr::answer_json(answer);
}

void add_ports(json_object* nvr_object, const char* prefix, const StreamPorts& ports) {
  const struct {
    const char* suffix;
    int32_t value;
  } rows[] = {
      {"Port", ports.port}, {"ExternalPort", ports.external_port}, {"DDNSPort", ports.ddns_port}};
  for (const auto& row : rows)
    nvr::json_add_int(nvr_object, (std::string(prefix) + row.suffix).c_str(), row.value);
}

void add_stream(json_object* n, const char* prefix, const char (&user)[32],
                const char (&password)[288], const StreamPorts& ports, const char* res_path,
                size_t res_size) {
  const std::string p(prefix);
  nvr::json_add(n, (p + "Username").c_str(), text_of(user));
  nvr::json_add(n, (p + "Password").c_str(), text_of(password));
  add_ports(n, prefix, ports);
  nvr::json_add(n, (p + "ResPath").c_str(), nvr::json_new_string_bounded(res_path, res_size));
  nvr::json_add_int(n, (p + "ExternalHttpPort").c_str(), ports.external_http_port);
  nvr::json_add_int(n, (p + "DDNSHttpPort").c_str(), ports.ddns_http_port);
}

void on_stream_address_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_error();
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i) {
    const StreamAddress r = record_at<StreamAddress>(records, i);
    nvr::Json ipc = nvr::json_new_object();
    nvr::json_add(ipc.get(), "main", text_of(r.ipc_main));
    nvr::json_add(ipc.get(), "sub", text_of(r.ipc_sub));
    nvr::Json recorder = nvr::json_new_object();
    add_stream(recorder.get(), "main", r.main_user, r.main_password, r.main_ports, r.main_res_path,
               sizeof r.main_res_path);
    add_stream(recorder.get(), "sub", r.sub_user, r.sub_password, r.sub_ports, r.sub_res_path,
               sizeof r.sub_res_path);
    nvr::Json entry = nvr::json_new_object();
    nvr::json_add(entry.get(), "ipc", std::move(ipc));
    nvr::json_add(entry.get(), "nvr", std::move(recorder));
    nvr::json_append(list.get(), std::move(entry));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "rtspaddr", std::move(list));
  nvr::answer_json(answer);
}

void on_external_ports_cb(uint32_t count, const void* records) {
  if (count == 0) return nvr::answer_error();
  const ExternalPorts r = record_at<ExternalPorts>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "upnp_extern_port", r.upnp);
  nvr::json_add_int(answer.get(), "ddns_extern_port", r.ddns);
  nvr::answer_json(answer);
}

// Download pieces are read as far as they arrived (record size 1: the count
// is the payload's byte count).
constexpr nvr::ReplyRow kStreamReplies[] = {
    {kReplyPlayPosition, sizeof(int64_t), on_play_position_cb},
    {kReplySearch, sizeof(SearchResult), on_search_result_cb},
    {kReplySearchPage, sizeof(SearchResult), on_search_result_cb},
    {kReplyStartPlayback, sizeof(int32_t), on_start_result_cb},
    {kReplyJump, sizeof(int32_t), on_jump_cb},
    {kReplyDownloadPiece, 1, on_get_download_playtime_cb},
    {kReplyPlaybackStream, sizeof(PlaybackStreamState), on_playback_stream_cb},
    {kReplyPlaybackStreamState, sizeof(PlaybackStreamState), on_playback_stream_state_cb},
    {kReplyImageParam, sizeof(ImageParamReply), on_image_param_cb},
    {kReplyStartPlaybackMask, sizeof(MaskedStartReply), on_masked_start_cb},
    {kReplyStartLive, sizeof(LiveStartReply), on_start_live_cb},
    {kReplyPlaybackSource, sizeof(PlaybackSourceReply), on_playback_source_cb},
    {kReplyStreamAddress, sizeof(StreamAddress), on_stream_address_cb},
    {kReplyExternalPorts, sizeof(ExternalPorts), on_external_ports_cb},
    {kReplyDaemonBusy, sizeof(int32_t), on_get_daemon_busy_cb},
};

}  // namespace

void on_stream_callback(void*, const void* header, const void* payload) {
  nvr::dispatch_reply(kStreamReplies, header, payload);
}

PlaybackStart& playback_start_state() {
  static PlaybackStart state;
  return state;
}
