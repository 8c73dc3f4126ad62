// Display, audio and general settings ("/6080", "/6081").
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/system/maintenance_wire.h"
#include "modules/system/sysinfo.h"
#include "modules/system/sysinfo_records.h"
#include "modules/system/system_wire.h"
#include "platform/device_path.h"

namespace {

// Text parameters of this page hold small numbers ("0", "255").
int param_number(const char* key, const char* default_value) {
  char text[8] = "";
  get_param_value(nvr::qvdb_path(), key, text, sizeof text, default_value);
  return atoi(text);
}

void send_nowait(int32_t request_id, const void* payload, int32_t length) {
  nvr::tell_daemon(request_id, payload, length);
}

struct GeneralRequest {
  int32_t main_resolution;
  int32_t audio_output_on;
  int32_t audio_volume;
  int32_t hdmi_audio_on;
  int32_t sub_resolution;
  int32_t wizard_enable;
  char hostname[kHostNameSize];
  int32_t device_id;
  int32_t display_mode;
  int32_t sub_enable;
  int32_t audio_stereo;
  int32_t homologous;
  int32_t is_homologous_changed;
  int32_t hdmihotplug;
  int32_t stream_info;
};

#define REQUIRED_INT(member, key, min, max) \
  NVR_POLICY_INT(GeneralRequest, member, key, min, max, nvr::Presence::kRequired)
#define SWITCH(member, key) REQUIRED_INT(member, key, 0, 1)
#define OPTIONAL_INT(member, key) \
  NVR_POLICY_INT(GeneralRequest, member, key, INT32_MIN, INT32_MAX, nvr::Presence::kLenient)
constexpr nvr::PolicyRow kGeneralPolicy[] = {
    REQUIRED_INT(main_resolution, "mainResolution", INT32_MIN, INT32_MAX),
    SWITCH(audio_output_on, "audioOutputOn"),
    REQUIRED_INT(audio_volume, "audioVolume", 0, 100),
    SWITCH(hdmi_audio_on, "hdmiAudioOn"),
    REQUIRED_INT(sub_resolution, "subResolution", INT32_MIN, INT32_MAX),
    SWITCH(wizard_enable, "wizardEnable"),
    NVR_POLICY_TEXT(GeneralRequest, hostname, "hostname", nvr::Presence::kRequired),
    REQUIRED_INT(device_id, "deviceId", 0, 256),
    SWITCH(display_mode, "displayMode"),
    SWITCH(sub_enable, "subEnable"),
    OPTIONAL_INT(audio_stereo, "audioStereo"),
    OPTIONAL_INT(homologous, "homologous"),
    OPTIONAL_INT(is_homologous_changed, "isHomologousChanged"),
    OPTIONAL_INT(hdmihotplug, "hdmihotplug"),
    OPTIONAL_INT(stream_info, "streamInfo"),
};
#undef REQUIRED_INT
#undef SWITCH
#undef OPTIONAL_INT

// The policy, and a volume in steps of ten.
int check_general_info(const char* data, GeneralRequest* out) {
  if (nvr::read_request(data, kGeneralPolicy, out) != 0) return -1;
  return out->audio_volume % 10 == 0 ? 0 : -1;
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
  GeneralRequest request{};
  if (check_general_info(data, &request) != 0) return;

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
