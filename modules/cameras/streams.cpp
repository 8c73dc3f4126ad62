// Camera streams and image parameters: the stream read and writes, and the
// image enhancement, display and common parameter writes (their reads are
// pass-through rows).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "platform/device_path.h"

namespace {

constexpr int32_t kLogParamCameraChanged = 903;
constexpr int64_t kLogSubStream = 212;
constexpr int32_t kVerdictConnected = 2;

// ---- the stream read -----------------------------------------------------------------------

nvr::Json stream_object(const StreamLimits& limits, const StreamValues& values) {
  nvr::Json res = nvr::json_new_array();
  int32_t current = 0;
  for (int32_t i = 0; i < 24; ++i) {
    const Resolution& r = limits.res[i];
    if (r.width == 0 || r.height == 0) break;
    if (r.width == values.cur.width && r.height == values.cur.height) current = i;
    char name[32];
    snprintf(name, sizeof name, "%d*%d", r.width, r.height);
    nvr::Json o = nvr::json_new_object();
    nvr::json_add_int(o.get(), "width", r.width);
    nvr::json_add_int(o.get(), "height", r.height);
    nvr::json_add_string(o.get(), "name", name);
    nvr::json_append(res.get(), std::move(o));
  }
  nvr::Json s = nvr::json_new_object();
  json_object* o = s.get();
  nvr::json_add_int(o, "curRes", current);
  nvr::json_add(o, "res", std::move(res));
  nvr::json_add_int(o, "framerateMax", limits.framerateMax);
  nvr::json_add_int(o, "framerateMin", limits.framerateMin);
  nvr::json_add_int(o, "bitrateMax", limits.bitrateMax);
  nvr::json_add_int(o, "bitrateMin", limits.bitrateMin);
  nvr::json_add_int(o, "framerate", values.framerate);
  nvr::json_add_int(o, "bitrate", values.bitrate);
  nvr::json_add_int(o, "iframeinterval", values.iframeinterval);
  nvr::json_add_int(o, "iframeIntervalMin", values.iframeIntervalMin);
  nvr::json_add_int(o, "iframeIntervalMax", values.iframeIntervalMax);
  nvr::json_add_int(o, "bitrateCtrl", values.bitrateCtrl);
  return s;
}

// Waits `seconds` (shortened by NVR_TIME_SCALE as every wait of the program is).
void pause_seconds(double seconds) { nvr::scaled_pause_ms(seconds * 1000); }

}  // namespace

void on_get_ipc_stream_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const StreamParams p = nvr::record_at<StreamParams>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  nvr::json_add_int(o, "stateCode", p.stateCode);
  if (p.stateCode != 0) {
    nvr::answer_json(answer);
    return;
  }
  const char* db = nvr::qvdb_path();
  OsdRecord osd{};
  CameraRecord camera{};
  IpcModel model{};
  if (p.id >= 0 && p.id < kCameraChannels) {
    read_osd(db, &osd, p.id);
    read_camera(db, &camera, p.id);
    read_ipc_model(db, &model, camera.camProtocol);
  }
  nvr::json_add_int(o, "id", p.id);
  nvr::json_add(o, "name", nvr::json_new_string_bounded(osd.name, sizeof osd.name));
  nvr::json_add_int(o, "subEnable", p.subEnable);
  nvr::json_add_int(o, "audioEnable", p.audioEnable);
  nvr::json_add_int(o, "videoTypeEnable", p.videoTypeEnable);
  nvr::json_add_int(o, "mainVideoType", p.mainVideoType);
  nvr::json_add_int(o, "subVideoType", p.subVideoType);
  nvr::json_add_int(o, "ipc_type", p.ipc_type);
  nvr::json_add_int(o, "syncTime", camera.syncTime);
  nvr::json_add_int(o, "protocol", model.protocol);
  nvr::json_add_int(o, "managePort", camera.managePort);
  nvr::json_add_int(o, "physicalport", camera.physicalport);
  nvr::json_add_int(o, "poechannel", camera.poechannel);
  nvr::json_add(o, "mac_addr",
                nvr::json_new_string_bounded(camera.mac_addr, sizeof camera.mac_addr));
  nvr::json_add_int(o, "transmitProtocol", camera.transmitProtocol);
  nvr::json_add(o, "ddns", nvr::json_new_string_bounded(camera.ddns, sizeof camera.ddns));
  nvr::json_add_int(o, "httpsPort", camera.httpsPort);
  nvr::json_add_int(o, "mainStream", p.mainStream);
  nvr::json_add_int(o, "subStream", p.subStream);
  nvr::json_add_int(o, "SupportSmartStream", p.SupportSmartStream);
  nvr::json_add_int(o, "SmartStream", p.SmartStream);
  nvr::json_add_int(o, "SmartStreamLevel", p.SmartStreamLevel);
  nvr::json_add_int(o, "SubSupportSmartStream", p.SubSupportSmartStream);
  nvr::json_add_int(o, "SubSmartStream", p.SubSmartStream);
  nvr::json_add_int(o, "SubSmartStreamLevel", p.SubSmartStreamLevel);
  nvr::json_add(o, "main", stream_object(p.mainLimits, p.mainValues));
  nvr::json_add(o, "sub", stream_object(p.subLimits, p.subValues));
  nvr::json_add_int(o, "mainGop", p.mainGop);
  nvr::json_add_int(o, "subGop", p.subGop);
  nvr::json_add_int(o, "thirdGop", p.thirdGop);
  nvr::answer_json(answer);
}

void on_get_ipc_stream(char* data) {
  int32_t channel = -1;
  if (!data || on_cgi_get_value_by_json(data, "chnid", &channel) != 0 || channel < 0 ||
      channel > 15) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  nvr::ask_or_answer(on_camera_ipc_callback, kReqStreamGet, ChannelWord{channel},
                     nvr::Silence::kJson);
}

// ---- the stream writes ---------------------------------------------------------------------

void on_set_ipc_stream_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const StreamSetResult result = nvr::record_at<StreamSetResult>(records, 0);
  char text[kCameraChannels + 1];
  for (int i = 0; i < kCameraChannels; ++i) text[i] = (result.mask >> i) & 1 ? '1' : '0';
  text[kCameraChannels] = '\0';
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "res", text);
  nvr::answer_json(answer);
}

namespace {

struct StreamCheck {
  int32_t id, mainFramerate, mainBitrate, subEnable, audioEnable, mainResWidth, mainResHeight;
};
constexpr nvr::PolicyRow kStreamCheck[] = {
    NVR_POLICY_INT(StreamCheck, id, "id", 0, kCameraChannels - 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(StreamCheck, mainFramerate, "mainFramerate", 0, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(StreamCheck, mainBitrate, "mainBitrate", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_INT(StreamCheck, subEnable, "subEnable", INT32_MIN, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(StreamCheck, audioEnable, "audioEnable", 0, 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(StreamCheck, mainResWidth, "mainResWidth", 0, INT32_MAX,
                   nvr::Presence::kRequired),
    NVR_POLICY_INT(StreamCheck, mainResHeight, "mainResHeight", 0, INT32_MAX,
                   nvr::Presence::kRequired),
};

int32_t int_of(json_object* request, const char* key) {
  return static_cast<int32_t>(nvr::json_int_or(request, key, 0));
}

// The fields both stream writes take under the same keys.
void fill_stream_common(json_object* r, StreamSet* s) {
  s->subEnable = int_of(r, "subEnable");
  s->mainVideoType = int_of(r, "mainVideoType");
  s->mainResWidth = int_of(r, "mainResWidth");
  s->mainResHeight = int_of(r, "mainResHeight");
  s->mainFramerate = int_of(r, "mainFramerate");
  s->mainBitrate = int_of(r, "mainBitrate");
  s->IframeInterval = int_of(r, "IframeInterval");
  s->SmartStream = int_of(r, "SmartStream");
  s->SmartStreamLevel = int_of(r, "SmartStreamLevel");
  s->subVideoType = int_of(r, "subVideoType");
  s->subResWidth = int_of(r, "subResWidth");
  s->subResHeight = int_of(r, "subResHeight");
  s->subFramerate = int_of(r, "subFramerate");
  s->subBitrate = int_of(r, "subBitrate");
  s->subIframeInterval = int_of(r, "subIframeInterval");
  s->SubSmartStream = int_of(r, "SubSmartStream");
  s->SubSmartStreamLevel = int_of(r, "SubSmartStreamLevel");
  for (int32_t& word : s->reserved1) word = -1;
}

StreamSet empty_selection() {
  StreamSet s{};
  memset(s.chans, '0', sizeof s.chans);
  return s;
}

}  // namespace

void on_set_ipc_stream(char* data) {
  nvr::Json request = nvr::parse_request(data);
  StreamCheck check{};
  if (nvr::read_policy(request.get(), kStreamCheck, &check) != 0) return;
  json_object* r = request.get();
  StreamSet s = empty_selection();
  s.chans[check.id] = '1';
  s.transmitProtocol = -1;
  s.syncTime = -1;
  s.reserved0 = -1;
  s.videoTypeEnable = int_of(r, "videoTypeEnable");
  s.fisheyeType = int_of(r, "fisheyeType");
  fill_stream_common(r, &s);
  s.mainBitrateControl = int_of(r, "bitrateControl");
  s.recordtype = int_of(r, "recordtype");
  s.etframerate = int_of(r, "etframerate");
  s.etIframeinterval = int_of(r, "etIframeinterval");
  s.etbitrate = int_of(r, "etbitrate");
  s.subBitrateControl = int_of(r, "SubBitrateControl");
  const int32_t verdict =
      nvr::ask_or_answer(on_camera_ipc_callback, kReqStreamSet, s, nvr::Silence::kText);
  // Only a connection-test verdict (2) is logged; the stream reply gives 1.
  if (verdict == kVerdictConnected)
    cgi_send_operation_log(kLogSubStream, kLogParamCameraChanged, check.id + 1);
}

void on_set_ipc_stream_batch(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  StreamSet s = empty_selection();
  json_object* chans = nvr::json_get(r, "chans");
  const size_t n = std::min<size_t>(nvr::json_array_size(chans), kCameraChannels);
  for (size_t i = 0; i < n; ++i)
    if (nvr::json_int64(nvr::json_at(chans, i)).value_or(0) != 0) s.chans[i] = '1';
  s.transmitProtocol = int_of(r, "transmitProtocol");
  s.syncTime = int_of(r, "syncTime");
  s.reserved0 = -1;
  s.videoTypeEnable = 1;
  s.fisheyeType = 0;
  fill_stream_common(r, &s);
  s.mainBitrateControl = int_of(r, "mainBitrateControl");
  s.recordtype = s.etframerate = s.etIframeinterval = s.etbitrate = -1;
  s.subBitrateControl = int_of(r, "subBitrateControl");
  nvr::ask_or_answer(on_camera_ipc_callback, kReqStreamSet, s, nvr::Silence::kJson);
}

// ---- image writes --------------------------------------------------------------------------

namespace {

// The first element of `scenes`, or null when it is missing or empty.
json_object* first_scene(json_object* request) {
  return nvr::json_at(nvr::json_get(request, "scenes"), 0);
}

void fill_channel_list(json_object* request, const char* key, int32_t* channels) {
  for (int i = 0; i < kCameraChannels; ++i) channels[i] = -1;
  json_object* list = nvr::json_get(request, key);
  const size_t n = std::min<size_t>(nvr::json_array_size(list), kCameraChannels);
  for (size_t i = 0; i < n; ++i)
    channels[i] = static_cast<int32_t>(nvr::json_int64(nvr::json_at(list, i)).value_or(-1));
}

// Integer keys into consecutive int32 fields starting at `first`.
void fill_ints(json_object* object, std::initializer_list<const char*> keys, int32_t* first) {
  for (const char* key : keys) *first++ = int_of(object, key);
}

}  // namespace

void on_set_ipc_ipcimage_enhancement(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  EnhancementSet set{};
  fill_channel_list(r, "channel", set.channels);
  set.type = int_of(r, "type");
  if (set.type == 0) {
    EnhancementBlock b{};
    fill_ints(r,
              {"smartir", "whiteblance", "focusmode", "antiblurry", "wdrenable", "wdrlevel",
               "wdrstarthour", "wdrstartminute", "wdrstophour", "wdrstopminute", "regiontype",
               "hlcmode", "exclude", "exposemode"},
              &b.smartir);
    nvr::json_copy_string(r, "exposeregion", b.exposeregion, sizeof b.exposeregion);
    fill_ints(r,
              {"modelType", "imageschemode", "hlcday", "hlcnight", "redgain", "bluegain",
               "defogmode", "defoglevel"},
              &b.modelType);
    fill_ints(r, {"exposetime", "exposegain", "aflevel", "hlclevel"}, &b.exposetime);
    fill_ints(r, {"enblur", "deblur"}, &b.enblur);
    fill_ints(r, {"lensType", "reduceVideoStuttering"}, &b.lensType);
    memcpy(set.block, &b, sizeof b);
  } else {
    json_object* scene = first_scene(r);
    if (scene == nullptr) return;
    SceneBlock b{};
    fill_ints(scene,
              {"irBalanceMode", "reduceMotionBlur", "deblur", "defogMode", "antiFogIntensity",
               "whitebalanceMode", "whitebalanceRedGain", "whitebalanceBlueGain", "exposureMode",
               "exposureTime", "exposureGain", "blcRegion", "blcRegionRange"},
              &b.irBalanceMode);
    nvr::json_copy_string(scene, "blcRegionArea", b.blcRegionArea, sizeof b.blcRegionArea);
    fill_ints(scene,
              {"wdrMode", "wdrStartHour", "wdrStartMin", "wdrEndHour", "wdrEndMin", "wdrLevel",
               "hlcMode", "hlcLevel"},
              &b.wdrMode);
    memcpy(set.block, &b, sizeof b);
  }
  nvr::tell_daemon(kReqEnhancementSet, set);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_status_ok_or_error_cb(uint32_t count, const void* records) {
  const int32_t status = count > 0 ? nvr::record_at<ResultWord>(records, 0).res : -1;
  if (status == 0)
    nvr::answer_text("OK", kVerdictConnected);
  else
    nvr::answer_text("ERROR");
}

void on_set_ipc_ipcimage_display(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  DisplaySet set{};
  DisplayFields& f = set.record.fields;
  set.record.chnid = int_of(r, "id");
  set.record.type = int_of(r, "type");
  if (set.record.type == 0) {
    fill_ints(r,
              {"colorkiller", "modestarthour", "modestartminute", "modestophour", "modestopminute",
               "exposurectrl", "lighttype", "mirctrl", "localdisplay", "ircutaddaytonight",
               "ircutadnighttoday", "corridormode", "imagerotation", "saveCorridor"},
              &f.colorkiller);
    fill_ints(r, {"smartIRType", "nearIRLevel", "farIRLevel", "midIRLevel", "lencorrect"},
              &f.smartIRType);
    f.fovadjust = int_of(r, "fovadjust");
    fill_ints(r, {"smokeddomecover", "whiteLedLevel", "dnRefocus"}, &f.smokeddomecover);
    fill_ints(r, {"keepCorrectAspectRatio", "dayNightSens", "nightDaySens", "zoomLimit"},
              &f.keepCorrectAspectRatio);
    fill_ints(r,
              {"whiteledLightCtrl", "whiteledSensitivity", "whiteledDelay", "whiteledStart",
               "whiteledStop", "whiteledBrightnessCtrl", "whiteledBrightness"},
              &f.whiteledLightCtrl);
  } else if (set.record.type == 1) {
    json_object* scene = first_scene(r);
    if (scene == nullptr) return;
    DisplayScene values{};
    fill_ints(scene,
              {"powerlineFreq", "dnMode", "d2nSensitivity", "n2dSensitivity", "nightStartHour",
               "nightStartMinute", "nightEndHour", "nightEndMinute", "smartIrMode", "irLedLevel",
               "imageRotation"},
              &values.powerlineFreq);
    memcpy(&set.record.fields, &values, sizeof values);
  }
  nvr::ask_or_answer(on_camera_ipc_callback, kReqDisplaySet, set, nvr::Silence::kText);
}

void on_set_ipc_common_param(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* r = request.get();
  CommonRequest set{};
  set.chnid = int_of(r, "id");
  nvr::json_copy_string(r, "pagename", set.block.pagename, sizeof set.block.pagename);
  nvr::json_copy_string(r, "httpname", set.block.httpname, sizeof set.block.httpname);
  nvr::json_copy_string(r, "key", set.block.key, sizeof set.block.key);
  nvr::json_copy_string(r, "value", set.block.value, sizeof set.block.value);
  // The camera needs time before a rate-control change.
  if (strcmp(set.block.key, "ratecontrol1") == 0 || strcmp(set.block.key, "ratecontrol2") == 0)
    pause_seconds(2);
  nvr::ask_or_answer(on_camera_ipc_callback, kReqCommonSet, set, nvr::Silence::kText);
}
