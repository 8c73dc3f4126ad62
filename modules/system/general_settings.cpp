// Display, audio and general settings ("/6080", "/6081").
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/web_utils.h"
#include "modules/system/sysinfo.h"
#include "modules/system/sysinfo_records.h"
#include "platform/device_path.h"

namespace {

constexpr int32_t kReqSetResolution = 1001;  // {int32 output (0 main, 1 sub), int32 code}
constexpr int32_t kReqSetAudio = 1002;       // {hdmiAudioOn, audioOutputOn, audioVolume}
constexpr int32_t kReqApplyResolution = 1015;
constexpr int32_t kReqSubOutput = 1023;  // int32 sub output enabled
constexpr int32_t kReqRestart = 1703;

// Text parameters of this page hold small numbers ("0", "255").
int param_number(const char* key, const char* default_value) {
  char text[8] = "";
  get_param_value(nvr::qvdb_path(), key, text, sizeof text, default_value);
  return atoi(text);
}

void send_nowait(int32_t request_id, const void* payload, int32_t length) {
  cgi_send_notice(on_sysinfo_ipc_callback, request_id, payload, length);
}

struct GeneralRequest {
  int32_t main_resolution = 0;
  int32_t audio_output_on = 0;
  int32_t audio_volume = 0;
  int32_t hdmi_audio_on = 0;
  int32_t sub_resolution = 0;
  int32_t wizard_enable = 0;
  char hostname[kHostNameSize] = "";
  int32_t device_id = 0;
  int32_t display_mode = 0;
  int32_t sub_enable = 0;
  // Optional; absent reads as 0.
  int32_t audio_stereo = 0;
  int32_t homologous = 0;
  int32_t is_homologous_changed = 0;
  int32_t hdmihotplug = 0;
  int32_t stream_info = 0;
};

bool read_switch(json_object* request, const char* key, int32_t* out) {
  return nvr::json_read_int(request, key, out, 0, 1);
}

// Every required key present and in range; fills `out`.
int check_general_info(json_object* request, GeneralRequest* out) {
  using nvr::json_read_int;
  if (!json_read_int(request, "mainResolution", &out->main_resolution)) return -1;
  if (!read_switch(request, "audioOutputOn", &out->audio_output_on)) return -1;
  if (!json_read_int(request, "audioVolume", &out->audio_volume, 0, 100) ||
      out->audio_volume % 10 != 0)
    return -1;
  if (!read_switch(request, "hdmiAudioOn", &out->hdmi_audio_on)) return -1;
  if (!json_read_int(request, "subResolution", &out->sub_resolution)) return -1;
  if (!read_switch(request, "wizardEnable", &out->wizard_enable)) return -1;
  if (!nvr::json_copy_string(request, "hostname", out->hostname, sizeof out->hostname)) return -1;
  if (!json_read_int(request, "deviceId", &out->device_id, 0, 256)) return -1;
  if (!read_switch(request, "displayMode", &out->display_mode)) return -1;
  if (!read_switch(request, "subEnable", &out->sub_enable)) return -1;

  auto optional = [request](const char* key) {
    int32_t value = 0;
    json_read_int(request, key, &value);
    return value;
  };
  out->audio_stereo = optional("audioStereo");
  out->homologous = optional("homologous");
  out->is_homologous_changed = optional("isHomologousChanged");
  out->hdmihotplug = optional("hdmihotplug");
  out->stream_info = optional("streamInfo");
  return 0;
}

// Mirrors the main output on the sub output or not: the sub output is
// enabled exactly when the two do not show the same picture.
// 0 once stored, -1 when a write failed.
int apply_homologous(const GeneralRequest& request, DisplayInfo* display) {
  const char* db = nvr::qvdb_path();
  const int separate = request.homologous == 0 ? 1 : 0;
  display->sub_enable = separate;
  return store_param_int(db, "homologous", request.homologous) |
         store_param_text(db, "quick_screen", separate ? "1" : "0");
}

// 0 once stored, -1 when a write failed.
int store_general_params(const GeneralRequest& request) {
  const char* db = nvr::qvdb_path();
  return write_host_name(db, request.hostname) |
         store_param_int(db, "deviceid", request.device_id) |
         store_param_int(db, "wizard_enable", request.wizard_enable) |
         store_param_int(db, "display_mode", request.display_mode) |
         store_param_int(db, "hdmihotplug", request.hdmihotplug) |
         store_param_int(db, "stream_information", request.stream_info);
}

void announce_output_changes(const GeneralRequest& request, bool resolution_changed) {
  send_device_id_and_host_name(request.device_id);
  if (resolution_changed) {
    const int32_t main_output[2] = {0, request.main_resolution};
    const int32_t sub_output[2] = {1, request.sub_resolution};
    send_nowait(kReqSetResolution, main_output, sizeof main_output);
    send_nowait(kReqSetResolution, sub_output, sizeof sub_output);
    send_nowait(kReqApplyResolution, nullptr, 0);
  }
  const int32_t audio[3] = {request.hdmi_audio_on, request.audio_output_on, request.audio_volume};
  send_nowait(kReqSetAudio, audio, sizeof audio);
}

}  // namespace

void on_get_general_info(char*) {
  const char* db = nvr::qvdb_path();
  DisplayInfo display{};
  read_display(db, &display);
  char host_name[kHostNameSize];
  read_host_name(db, host_name, sizeof host_name);

  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  nvr::json_add_int(o, "displayMode", param_number("display_mode", "0"));
  nvr::json_add_int(o, "hdmihotplug", param_number("hdmihotplug", "1"));
  nvr::json_add_int(o, "mainResolution", display.main_resolution);
  nvr::json_add_int(o, "hdmiAudioOn", display.hdmi_audio_on);
  nvr::json_add_int(o, "homologous", get_param_int(db, "homologous", 1));
  nvr::json_add_int(o, "curControl", display.cur_control);
  nvr::json_add_int(o, "subEnable", display.sub_enable);
  nvr::json_add_int(o, "subResolution", display.sub_resolution);
  nvr::json_add_int(o, "audioOutputOn", display.audio_output_on);
  nvr::json_add_int(o, "audioVolume", display.audio_volume);
  nvr::json_add_int(o, "deviceId", param_number("deviceid", "255"));
  nvr::json_add_string(o, "hostname", host_name);
  nvr::json_add_int(o, "wizardEnable", param_number("wizard_enable", "0"));
  nvr::json_add_int(o, "hideTaskBar", param_number("hide_taskbar", "0"));
  nvr::json_add_int(o, "hideToolBar", param_number("hide_toolbar", "0"));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_set_general_info(char* data) {
  nvr::Json parsed = nvr::json_parse_object(data);
  GeneralRequest request;
  if (check_general_info(parsed.get(), &request) != 0) return;

  const char* db = nvr::qvdb_path();
  DisplayInfo display{};
  read_display(db, &display);
  const int32_t cur_control = display.cur_control;
  const bool resolution_changed = display.main_resolution != request.main_resolution ||
                                  display.sub_resolution != request.sub_resolution;

  display.main_resolution = request.main_resolution;
  display.audio_output_on = request.audio_output_on;
  display.audio_volume = request.audio_volume;
  display.audio_stereo = request.audio_stereo;
  display.hdmi_audio_on = request.hdmi_audio_on;
  display.sub_resolution = request.sub_resolution;
  const bool restart = request.is_homologous_changed != 0;
  int stored = restart ? apply_homologous(request, &display) : 0;
  stored |= write_display(db, &display);

  // The daemon switches the sub output itself; it is only asked when the main
  // output is in control and the mirroring did not change (that restarts).
  if (display.sub_enable != request.sub_enable && cur_control == 0 && !restart)
    send_nowait(kReqSubOutput, &request.sub_enable, sizeof request.sub_enable);

  if ((stored | store_general_params(request)) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  announce_output_changes(request, resolution_changed);
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamGeneral, 0);
  cgi_writeback_webserver(kRespText, cur_control == 0 ? "OK" : "SUB");
  if (restart) send_nowait(kReqRestart, nullptr, 0);
}
