// Camera channels: the live list, adding, editing and deleting a channel, its
// stored settings, names, credentials and transport, the protocol and model
// catalogue and the PoE facts.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_records.h"
#include "modules/cameras/cameras_wire.h"
#include "platform/device_path.h"
#include "platform/qvfs_log.h"

namespace {

constexpr int64_t kLogSubCameraAdded = 210;
constexpr int64_t kLogSubCameraDeleted = 211;
constexpr int32_t kLogParamCameraAdded = 901;
constexpr int32_t kLogParamCameraDeleted = 902;
constexpr int32_t kLogParamCameraChanged = 903;
constexpr int32_t kLogDetailCameraChange = 111;
constexpr int32_t kProtocolRtsp = 1;
constexpr int32_t kProtocolNoAddress = 7;
constexpr int kMaxProtocols = 64;
constexpr int kMaxModels = 512;

void add_text(json_object* object, const char* key, const char* text, size_t size) {
  nvr::json_add(object, key, nvr::json_new_string_bounded(text, size));
}
#define ADD_TEXT(object, record, field) add_text(object, #field, record.field, sizeof record.field)

int max_cameras() { return get_param_int(nvr::qvdb_path(), "max_cameras", 32); }

const char* protocol_name(int32_t protocol) {
  if (protocol == 0) return "ONVIF";
  if (protocol == kProtocolRtsp) return "RTSP";
  return "QVSF";
}
const char* transmit_name(int32_t transmit) {
  if (transmit == 0) return "UDP";
  if (transmit == 3) return "RTSP Over HTTPS";
  return "TCP";
}

// The operation-log record of a camera change, with its detail (kind 111).
void log_camera_change(int64_t sub_type, int32_t param_type, const CameraRecord& camera) {
  QvLogInfo log{};
  cgi_init_log_info(&log);
  log.main_type = 4;
  log.sub_type = sub_type;
  log.param_type = param_type;
  log.chan_no = nvr::log_channel(camera.id);
  CameraChangeDetail detail{};
  detail.param_type = param_type;
  snprintf(detail.ip, sizeof detail.ip, "%s", camera.ipAddr);
  detail.port = camera.managePort;
  detail.chan_no = log.chan_no;
  snprintf(detail.protocol, sizeof detail.protocol, "%s", protocol_name(camera.camProtocol));
  snprintf(detail.transmit, sizeof detail.transmit, "%s", transmit_name(camera.transmitProtocol));
  detail.sync_time = static_cast<uint8_t>(camera.syncTime);
  qvfs_log_pack_detail(&log, kLogDetailCameraChange, &detail, sizeof detail);
  cgi_send_log(nullptr, log);
}

// ---- the channel request ----------------------------------------------------------------

// What check_digital_channel looks at beside the record's own fields.
struct ChannelCheck {
  int32_t id;
  char name[64];
  int32_t enable;
  int32_t camProtocol;
  int32_t transmitProtocol;
};
// A channel outside 0..63 is refused: there is no 65th camera to store.
constexpr nvr::PolicyRow kChannelCheck[] = {
    NVR_POLICY_INT(ChannelCheck, id, "id", 0, kCameraChannels - 1, nvr::Presence::kRequired),
    NVR_POLICY_TEXT(ChannelCheck, name, "name", nvr::Presence::kRequired),
    NVR_POLICY_INT(ChannelCheck, enable, "enable", 0, 1, nvr::Presence::kAbsentIsZero),
    NVR_POLICY_INT(ChannelCheck, camProtocol, "camProtocol", 0, 7, nvr::Presence::kRequired),
    NVR_POLICY_INT(ChannelCheck, transmitProtocol, "transmitProtocol", 0, 3,
                   nvr::Presence::kRequired),
};

int32_t check_digital_channel(json_object* request, ChannelCheck* check) {
  if (nvr::read_policy(request, kChannelCheck, check) != 0) return -1;
  if (check->camProtocol == kProtocolNoAddress) return 0;
  const char* ip = nvr::json_string(request, "ipAddr");
  int32_t port = -1;
  if (ip == nullptr || ip[0] == '\0') return -1;
  if (!nvr::json_read_int(request, "managePort", &port, 0)) return -1;
  return 0;
}

constexpr nvr::PolicyRow int_field(const char* key) {
  return nvr::policy_from(kCameraRecord, key, INT32_MIN, INT32_MAX, nvr::Presence::kLenient);
}
constexpr nvr::PolicyRow text_field(const char* key) {
  return nvr::policy_text_from(kCameraRecord, key, nvr::Presence::kOptional);
}

// The fields add and edit take from every request (absent integers store 0).
constexpr nvr::PolicyRow kConnectionFields[] = {
    int_field("minorid"),         int_field("enable"),      text_field("ipAddr"),
    int_field("managePort"),      int_field("camProtocol"), int_field("transmitProtocol"),
    int_field("enableSubStream"), int_field("syncTime"),
};
constexpr nvr::PolicyRow kCredentialFields[] = {text_field("userName"), text_field("password")};
// Only an RTSP camera takes its stream addresses.
constexpr nvr::PolicyRow kRtspFields[] = {
    int_field("mainRtspPort"),   text_field("mainSourcePath"), int_field("subRtspPort"),
    text_field("subSourcePath"), text_field("mainrtspurl"),    text_field("subrtspurl"),
};
constexpr nvr::PolicyRow kPlacementFields[] = {int_field("poechannel"), int_field("physicalport")};
constexpr nvr::PolicyRow kTailFields[] = {text_field("ddns"), int_field("httpsPort")};

void read_mac_addr(json_object* request, CameraRecord* camera) {
  memset(camera->mac_addr, 0, sizeof camera->mac_addr);
  const char* mac = nvr::json_string(request, "mac_addr");
  if (mac != nullptr && strcmp(mac, "(null)") != 0)
    snprintf(camera->mac_addr, sizeof camera->mac_addr, "%s", mac);
}

enum class ChannelChange { kAdd, kEdit };

// Add and edit: check, store the name and the camera record, tell the
// daemon, log, answer.
void store_channel(char* data, ChannelChange change) {
  nvr::Json parsed = nvr::parse_request(data);
  json_object* request = parsed.get();
  ChannelCheck check{};
  if (!request || check_digital_channel(request, &check) != 0) return;
  const char* db = nvr::qvdb_path();
  const int32_t channel = check.id;

  OsdRecord osd{};
  read_osd(db, &osd, channel);
  osd.chnid = channel;
  nvr::json_copy_string(request, "name", osd.name, sizeof osd.name);

  CameraRecord camera{};
  read_camera(db, &camera, channel);
  camera.id = channel;
  int32_t type = 0;
  nvr::json_read_int(request, "type", &type);
  nvr::read_policy(request, kConnectionFields, &camera);
  if (change == ChannelChange::kAdd || type == 0)
    nvr::read_policy(request, kCredentialFields, &camera);
  if (check.camProtocol == kProtocolRtsp) nvr::read_policy(request, kRtspFields, &camera);
  if (change == ChannelChange::kAdd) {
    read_mac_addr(request, &camera);
    nvr::read_policy(request, kPlacementFields, &camera);
  }
  nvr::read_policy(request, kTailFields, &camera);

  DbBatch batch(db);
  if ((write_osd(db, &osd) | write_camera(db, &camera)) != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const ChannelWord word{channel};
  if (change == ChannelChange::kAdd) {
    nvr::tell_daemon(kReqChannelAdded, word);
    const ChannelPoe poe{channel, nvr::json_int_or(request, "otherPoe") == 1 ? 1 : 0};
    nvr::tell_daemon(kReqChannelPoe, poe);
    log_camera_change(kLogSubCameraAdded, kLogParamCameraAdded, camera);
  } else {
    nvr::tell_daemon(kReqChannelChanged, word);
    log_camera_change(kLogSubChangeSettings, kLogParamCameraChanged, camera);
  }
  cgi_writeback_webserver(kRespText, "OK");
}

// `chnid` of a request that names one channel of 0..15, or -1.
int32_t read_chnid_0_15(const char* data) {
  int32_t channel = -1;
  if (!data || on_cgi_get_value_by_json(data, "chnid", &channel) != 0) return -1;
  return channel >= 0 && channel <= 15 ? channel : -1;
}

// Read-modify-write of one camera record with a change log (credentials, transport).
void change_camera(int32_t channel, json_object* request, std::span<const nvr::PolicyRow> fields) {
  const char* db = nvr::qvdb_path();
  CameraRecord camera{};
  read_camera(db, &camera, channel);
  camera.id = channel;
  nvr::read_policy(request, fields, &camera);
  if (write_camera(db, &camera) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::tell_daemon(kReqChannelChanged, ChannelWord{channel});
  log_camera_change(kLogSubChangeSettings, kLogParamCameraChanged, camera);
  cgi_writeback_webserver(kRespText, "OK");
}

}  // namespace

// ---- the live list -------------------------------------------------------------------------

void on_get_ipc_list_cb(uint32_t count, const void* records) {
  const char* db = nvr::qvdb_path();
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i) {
    const ChannelStatus s = nvr::record_at<ChannelStatus>(records, i);
    char name[128];
    read_osd_name(db, name, sizeof name, s.id);
    nvr::Json o = nvr::json_new_object();
    json_object* c = o.get();
    nvr::json_add_int(c, "id", s.id);
    nvr::json_add_int(c, "enable", 1);
    nvr::json_add_string(c, "name", name);
    ADD_TEXT(c, s, ipAddr);
    nvr::json_add_int(c, "managePort", s.managePort);
    nvr::json_add_int(c, "camProtocol", s.camProtocol);
    ADD_TEXT(c, s, vendor);
    ADD_TEXT(c, s, sn);
    ADD_TEXT(c, s, snReal);
    ADD_TEXT(c, s, mac);
    ADD_TEXT(c, s, model);
    ADD_TEXT(c, s, fwVersion);
    nvr::json_add_int(c, "state", s.state);
    nvr::json_add_int(c, "mainRtspPort", s.mainRtspPort);
    nvr::json_add_int(c, "physicalport", s.physicalport);
    nvr::json_add_int(c, "poechannel", s.poechannel);
    nvr::json_add_int(c, "alarmin", s.alarmin);
    nvr::json_add_int(c, "alarmout", s.alarmout);
    nvr::json_add_int(c, "whiteLed", s.whiteLed);
    nvr::json_add_int(c, "ledAlarm", s.ledAlarm);
    nvr::json_add_int(c, "ledManual", s.ledManual);
    nvr::json_add_int(c, "minorid", s.minorid);
    nvr::json_add_int(c, "subState", s.subState);
    nvr::json_add_int(c, "connectState", s.connectState);
    ADD_TEXT(c, s, ddns);
    ADD_TEXT(c, s, chipinfo);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "IPC", std::move(list));
  nvr::json_add_int(answer.get(), "maxIPCNums", max_cameras());
  nvr::answer_json(answer);
}

void on_get_ipc_list(char*) {
  nvr::ask_or_answer(on_camera_ipc_callback, kReqChannelList, nullptr, 0, nvr::Silence::kJson);
}
void on_get_ipc_list2(char* data) { on_get_ipc_list(data); }

// ---- add, edit, delete ---------------------------------------------------------------------

void on_add_ipc(char* data) { store_channel(data, ChannelChange::kAdd); }
void on_edit_ipc(char* data) { store_channel(data, ChannelChange::kEdit); }

void on_delete_ipc(char* data) {
  const int32_t channel = read_chnid_0_15(data);
  if (channel < 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  const char* db = nvr::qvdb_path();
  DbBatch batch(db);
  int32_t stored = 0;
  PrivacyMask mask{};
  if (read_privacy_mask(db, &mask, channel) == 0 && mask.chnid == channel) {
    memset(mask.areas, 0, sizeof mask.areas);
    stored |= write_privacy_mask(db, &mask);
  }
  CameraRecord camera{};
  read_camera(db, &camera, channel);
  const int32_t record_stream = camera.recordStreamType;
  camera = CameraRecord{};
  camera.id = channel;
  camera.type = 1;
  camera.enable = 0;
  camera.recordStreamType = record_stream;
  stored |= write_camera(db, &camera);
  OsdRecord osd{};
  read_osd(db, &osd, channel);
  osd.chnid = channel;
  snprintf(osd.name, sizeof osd.name, "CAM%d", channel + 1);
  stored |= write_osd(db, &osd);
  if (stored != 0 || batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::tell_daemon(kReqChannelDeleted, ChannelWord{channel});
  nvr::tell_daemon(kReqChannelPoe, ChannelPoe{channel, 0});
  cgi_send_operation_log(kLogSubCameraDeleted, kLogParamCameraDeleted, channel + 1);
  cgi_writeback_webserver(kRespText, "OK");
}

// ---- stored settings -----------------------------------------------------------------------

void on_get_ipc_info(char* data) {
  const int32_t channel = read_chnid_0_15(data);
  if (channel < 0) {
    cgi_error_to_webserver(kRespJson);
    return;
  }
  const char* db = nvr::qvdb_path();
  OsdRecord osd{};
  read_osd(db, &osd, channel);
  CameraRecord c{};
  read_camera(db, &c, channel);
  IpcModel model{};
  read_ipc_model(db, &model, c.camProtocol);

  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  nvr::json_add_int(o, "id", channel);
  add_text(o, "name", osd.name, sizeof osd.name);
  ADD_TEXT(o, c, ipAddr);
  nvr::json_add_int(o, "managePort", c.managePort);
  nvr::json_add_int(o, "protocol", model.protocol);
  nvr::json_add_int(o, "model", c.camProtocol);
  ADD_TEXT(o, c, userName);
  ADD_TEXT(o, c, password);
  nvr::json_add_int(o, "transmitProtocol", c.transmitProtocol);
  nvr::json_add_int(o, "mainRtspPort", c.mainRtspPort);
  ADD_TEXT(o, c, mainSourcePath);
  nvr::json_add_int(o, "subRtspEnable", c.enableSubStream);
  nvr::json_add_int(o, "subRtspPort", c.subRtspPort);
  ADD_TEXT(o, c, subSourcePath);
  nvr::json_add_int(o, "syncTime", c.syncTime);
  add_text(o, "mainRtspUrl", c.mainrtspurl, sizeof c.mainrtspurl);
  add_text(o, "subRtspUrl", c.subrtspurl, sizeof c.subrtspurl);
  nvr::json_add_int(o, "physicalport", c.physicalport);
  nvr::json_add_int(o, "poechannel", c.poechannel);
  ADD_TEXT(o, c, mac_addr);
  nvr::json_add_int(o, "minorid", c.minorid);
  ADD_TEXT(o, c, ddns);
  nvr::json_add_int(o, "httpsPort", c.httpsPort);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_get_ipc_protocols(char*) {
  const char* db = nvr::qvdb_path();
  std::vector<IpcProtocol> protocols(kMaxProtocols);
  int count = 0;
  read_ipc_protocols(db, protocols.data(), kMaxProtocols, &count);
  std::vector<IpcModel> models(kMaxModels);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < count; ++i) {
    IpcProtocol& p = protocols[i];
    // Protocol 2 never shows its model list; an old catalogue is set right once.
    if (p.id == 2 && p.display_model == 1) {
      p.display_model = 0;
      if (write_ipc_protocol(db, &p) != 0) {
        cgi_error_to_webserver(kRespJson);
        return;
      }
    }
    nvr::Json entry(db_record_to_json(kIpcProtocolRecord, &p));
    int model_count = 0;
    read_ipc_models_by_protocol(db, models.data(), kMaxModels, &model_count, p.id);
    nvr::Json model_list = nvr::json_new_array();
    for (int m = 0; m < model_count; ++m)
      nvr::json_append(model_list.get(), nvr::Json(db_record_to_json(kIpcModelRecord, &models[m])));
    nvr::json_add(entry.get(), "models", std::move(model_list));
    nvr::json_append(list.get(), std::move(entry));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "protocols", std::move(list));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

void on_get_ipc_names(char*) {
  const char* db = nvr::qvdb_path();
  const int channels = std::min(max_cameras(), kCameraChannels);
  nvr::Json list = nvr::json_new_array();
  for (int32_t channel = 0; channel < channels; ++channel) {
    OsdRecord osd{};
    read_osd(db, &osd, channel);
    nvr::Json o = nvr::json_new_object();
    nvr::json_add_int(o.get(), "id", channel);
    add_text(o.get(), "name", osd.name, sizeof osd.name);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "IPC", std::move(list));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// ---- PoE, credentials, transport ------------------------------------------------------------

void on_get_poe_password(char*) {
  char text[64] = "";
  get_param_value(nvr::qvdb_path(), "poepsd", text, sizeof text, "kt5827");
  cgi_writeback_webserver(kRespText, text);
}

void on_get_max_poe_num(char*) {
  char text[16];
  snprintf(text, sizeof text, "%d", get_param_int(nvr::qvdb_path(), "max_poe_num", 0));
  cgi_writeback_webserver(kRespText, text);
}

void on_set_ipc_user(char* data) {
  struct UserCheck {
    int32_t id;
    char userName[64];
    char password[64];
  } check{};
  static constexpr nvr::PolicyRow kUserCheck[] = {
      NVR_POLICY_INT(UserCheck, id, "id", 0, kCameraChannels - 1, nvr::Presence::kRequired),
      NVR_POLICY_NONEMPTY(UserCheck, userName, "userName", nvr::Presence::kRequired),
      NVR_POLICY_NONEMPTY(UserCheck, password, "password", nvr::Presence::kRequired),
  };
  nvr::Json request = nvr::parse_request(data);
  if (nvr::read_policy(request.get(), kUserCheck, &check) != 0) return;
  change_camera(check.id, request.get(), kCredentialFields);
}

void on_set_ipc_transmit(char* data) {
  static constexpr nvr::PolicyRow kTransmitFields[] = {
      int_field("transmitProtocol"), int_field("syncTime"), int_field("httpsPort")};
  nvr::Json request = nvr::parse_request(data);
  int32_t channel = -1;
  if (!nvr::json_read_int(request.get(), "id", &channel, 0, kCameraChannels - 1)) return;
  change_camera(channel, request.get(), kTransmitFields);
}

// ---- what the cameras are and see ---------------------------------------------------------------

void on_web_get_channels_model_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const auto* models = static_cast<const uint8_t*>(records);
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < static_cast<uint32_t>(kCameraChannels); ++i) {
    const ChannelModel m = nvr::record_at<ChannelModel>(models, i);
    nvr::Json o = nvr::json_new_object();
    nvr::json_add_int(o.get(), "chnid", m.chnid);
    ADD_TEXT(o.get(), m, ipaddr);
    ADD_TEXT(o.get(), m, model);
    ADD_TEXT(o.get(), m, fwversion);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "IPC", std::move(list));
  nvr::answer_json(answer);
}

void on_web_get_channels_model(char*) {
  nvr::ask_or_answer(on_camera_ipc_callback, kReqChannelsModel, nullptr, 0, nvr::Silence::kJson);
}

void on_web_get_motion_status_cb(uint32_t count, const void* records) {
  // The mask is 8 bytes; a shorter reply gives what arrived.
  uint64_t mask = 0;
  memcpy(&mask, records, std::min<size_t>(count * 4u, sizeof mask));
  char text[kCameraChannels + 1];
  for (int i = 0; i < kCameraChannels; ++i) text[i] = (mask >> i) & 1 ? '1' : '0';
  text[kCameraChannels] = '\0';
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "Motion", text);
  nvr::answer_json(answer);
}

void on_web_get_motion_status(char*) {
  nvr::ask_or_answer(on_camera_ipc_callback, kReqMotionStatus, nullptr, 0, nvr::Silence::kText);
}
