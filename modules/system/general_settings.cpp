// Display, audio and general settings ("/6080", "/6081").
#include "modules/system/system_module.h"

namespace {

nvr::Json host_name_json(const void*) {
  char host_name[kHostNameSize];
  read_host_name(nvr::qvdb_path(), host_name, sizeof host_name);
  return nvr::json_new_string(host_name);
}

// Text parameters of this page hold small numbers ("0", "255").
constexpr nvr::AnswerRow kGeneralAnswer[] = {
    nvr::answer_param_number("displayMode", "display_mode", "0"),
    nvr::answer_param_number("hdmihotplug", "hdmihotplug", "1"),
    NVR_ANSWER_FIELD(DisplayInfo, main_resolution, "mainResolution"),
    NVR_ANSWER_FIELD(DisplayInfo, hdmi_audio_on, "hdmiAudioOn"),
    nvr::answer_param_int("homologous", "homologous", 1),
    NVR_ANSWER_FIELD(DisplayInfo, cur_control, "curControl"),
    NVR_ANSWER_FIELD(DisplayInfo, sub_enable, "subEnable"),
    NVR_ANSWER_FIELD(DisplayInfo, sub_resolution, "subResolution"),
    NVR_ANSWER_FIELD(DisplayInfo, audio_output_on, "audioOutputOn"),
    NVR_ANSWER_FIELD(DisplayInfo, audio_volume, "audioVolume"),
    nvr::answer_param_number("deviceId", "deviceid", "255"),
    nvr::answer_computed("hostname", host_name_json),
    nvr::answer_param_number("wizardEnable", "wizard_enable", "0"),
    nvr::answer_param_number("hideTaskBar", "hide_taskbar", "0"),
    nvr::answer_param_number("hideToolBar", "hide_toolbar", "0"),
};

// The request: the display keys over the stored display record, and the
// general settings beside it.
struct GeneralRequest {
  DisplayInfo display;
  char hostname[kHostNameSize];
  int32_t wizard_enable;
  int32_t device_id;
  int32_t display_mode;
  int32_t sub_enable;
  int32_t homologous;
  int32_t is_homologous_changed;
  int32_t hdmihotplug;
  int32_t stream_info;
};

#define REQUIRED_INT(member, key, min, max) \
  NVR_POLICY_INT(GeneralRequest, member, key, min, max, nvr::Presence::kRequired)
#define SWITCH(member, key) REQUIRED_INT(member, key, 0, 1)
constexpr nvr::PolicyRow kGeneralPolicy[] = {
    REQUIRED_INT(display.main_resolution, "mainResolution", INT32_MIN, INT32_MAX),
    SWITCH(display.audio_output_on, "audioOutputOn"),
    REQUIRED_INT(display.audio_volume, "audioVolume", 0, 100),
    SWITCH(display.hdmi_audio_on, "hdmiAudioOn"),
    REQUIRED_INT(display.sub_resolution, "subResolution", INT32_MIN, INT32_MAX),
    SWITCH(wizard_enable, "wizardEnable"),
    NVR_POLICY_TEXT(GeneralRequest, hostname, "hostname", nvr::Presence::kRequired),
    REQUIRED_INT(device_id, "deviceId", 0, 256),
    SWITCH(display_mode, "displayMode"),
    SWITCH(sub_enable, "subEnable"),
    NVR_POLICY_LENIENT(GeneralRequest, display.audio_stereo, "audioStereo"),
    NVR_POLICY_LENIENT(GeneralRequest, homologous, "homologous"),
    NVR_POLICY_LENIENT(GeneralRequest, is_homologous_changed, "isHomologousChanged"),
    NVR_POLICY_LENIENT(GeneralRequest, hdmihotplug, "hdmihotplug"),
    NVR_POLICY_LENIENT(GeneralRequest, stream_info, "streamInfo"),
};
#undef REQUIRED_INT
#undef SWITCH

// Mirrors the main output on the sub output or not: the sub output is
// enabled exactly when the two do not show the same picture.
// 0 once stored, -1 when a write failed.
int apply_homologous(GeneralRequest& request) {
  const char* db = nvr::qvdb_path();
  const int separate = request.homologous == 0 ? 1 : 0;
  request.display.sub_enable = separate;
  return set_param_int(db, "homologous", request.homologous) |
         set_param_value(db, "quick_screen", separate ? "1" : "0");
}

// 0 once stored, -1 when a write failed.
int store_general_params(const GeneralRequest& request) {
  const char* db = nvr::qvdb_path();
  return write_host_name(db, request.hostname) | set_param_int(db, "deviceid", request.device_id) |
         set_param_int(db, "wizard_enable", request.wizard_enable) |
         set_param_int(db, "display_mode", request.display_mode) |
         set_param_int(db, "hdmihotplug", request.hdmihotplug) |
         set_param_int(db, "stream_information", request.stream_info);
}

void announce_output_changes(const GeneralRequest& request, bool resolution_changed) {
  send_device_id_and_host_name(request.device_id);
  if (resolution_changed) {
    const int32_t main_output[2] = {0, request.display.main_resolution};
    const int32_t sub_output[2] = {1, request.display.sub_resolution};
    nvr::tell_daemon(kReqSetResolution, main_output, sizeof main_output);
    nvr::tell_daemon(kReqSetResolution, sub_output, sizeof sub_output);
    nvr::tell_daemon(kReqApplyResolution, nullptr, 0);
  }
  const DisplayInfo& display = request.display;
  const int32_t audio[3] = {display.hdmi_audio_on, display.audio_output_on, display.audio_volume};
  nvr::tell_daemon(kReqSetAudio, audio, sizeof audio);
}

}  // namespace

void on_get_general_info(char*) {
  DisplayInfo display{};
  read_display(nvr::qvdb_path(), &display);
  nvr::write_answer(kGeneralAnswer, &display);
}

void on_set_general_info(char* data) {
  const char* db = nvr::qvdb_path();
  GeneralRequest request{};
  read_display(db, &request.display);
  const DisplayInfo stored_display = request.display;
  // The policy, and a volume in steps of ten.
  if (nvr::read_request(data, kGeneralPolicy, &request) != 0 ||
      request.display.audio_volume % 10 != 0)
    return;

  const bool resolution_changed =
      stored_display.main_resolution != request.display.main_resolution ||
      stored_display.sub_resolution != request.display.sub_resolution;
  const bool restart = request.is_homologous_changed != 0;
  int stored = restart ? apply_homologous(request) : 0;
  stored |= write_display(db, &request.display);

  // The daemon switches the sub output itself; it is only asked when the main
  // output is in control and the mirroring did not change (that restarts).
  if (request.display.sub_enable != request.sub_enable && stored_display.cur_control == 0 &&
      !restart)
    nvr::tell_daemon(kReqSubOutput, &request.sub_enable, sizeof request.sub_enable);

  if ((stored | store_general_params(request)) != 0) return nvr::answer_failure(kRespText);
  announce_output_changes(request, resolution_changed);
  cgi_send_operation_log(kLogSubChangeSettings, kLogParamGeneral, 0);
  cgi_writeback_webserver(kRespText, stored_display.cur_control == 0 ? "OK" : "SUB");
  if (restart) nvr::tell_daemon(kReqRestart, nullptr, 0);
}
