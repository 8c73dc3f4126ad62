// General settings: device-wide switches set in one step each, and a camera's
// basic connection data. The daemon is told without waiting.
#include <cstdint>
#include <cstring>

#include "frame/dispatchreq.h"
#include "frame/ipc.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_records.h"
#include "modules/general/general_wire.h"
#include "modules/network/network_records.h"
#include "modules/record/record_records.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

// The module's reply callback: its requests are all sent without waiting.
void on_aging_callback(void*, const void*, const void*) {}

namespace {

void notify(int32_t request_id, const void* payload, int32_t length) {
  cgi_send_notice(on_aging_callback, request_id, payload, length);
}

struct Switch {
  int32_t value;
};
#define SWITCH_POLICY(key) \
  { NVR_POLICY_INT(Switch, value, key, INT32_MIN, INT32_MAX, nvr::Presence::kLenient) }
constexpr nvr::PolicyRow kSshPolicy[] = SWITCH_POLICY("sshEnable");
constexpr nvr::PolicyRow kAutoLoginPolicy[] = SWITCH_POLICY("autoLoginEnable");
constexpr nvr::PolicyRow kRecordModePolicy[] = SWITCH_POLICY("recordMode");
constexpr nvr::PolicyRow kWizardPolicy[] = SWITCH_POLICY("wizardEnable");
#undef SWITCH_POLICY

struct IpcBasic {
  int32_t id;
  int32_t enable;
  char ip_addr[64];
  int32_t manage_port;
  char user_name[64];
  char password[64];
};
constexpr nvr::PolicyRow kIpcBasicPolicy[] = {
    NVR_POLICY_INT(IpcBasic, id, "id", 0, 64, nvr::Presence::kRequired),
    NVR_POLICY_INT(IpcBasic, enable, "enable", 0, 1, nvr::Presence::kRequired),
    NVR_POLICY_NONEMPTY(IpcBasic, ip_addr, "ipAddr", nvr::Presence::kRequired),
    NVR_POLICY_INT(IpcBasic, manage_port, "managePort", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcBasic, user_name, "userName", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcBasic, password, "password", nvr::Presence::kAbsentIsZero),
};

// A switch kept as a parameter: stored, then "OK".
void set_param_switch(char* data, std::span<const nvr::PolicyRow> policy, const char* key) {
  Switch request{};
  if (nvr::read_request(data, policy, &request) != 0) return;
  if (set_param_int(nvr::qvdb_path(), key, request.value) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  cgi_writeback_webserver(kRespText, "OK");
}

}  // namespace

// "/3300"
void on_set_ssh_enable(char* data) {
  Switch request{};
  if (nvr::read_request(data, kSshPolicy, &request) != 0) return;
  PortSettings ports{};
  read_port(nvr::qvdb_path(), &ports);
  ports.ssh_enable = request.value;
  if (write_port(nvr::qvdb_path(), &ports) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  cgi_writeback_webserver(kRespText, "OK");
  char changed[32] = "more";
  notify(kReqSettingsChanged, changed, sizeof changed);
}

// "/3301"
void on_set_auto_login(char* data) {
  set_param_switch(data, kAutoLoginPolicy, "local_auth_enable");
}

// "/3302": every channel's record mode, stored at once; then one request per
// channel, each on a connection of its own.
void on_set_record_mode_all(char* data) {
  Switch request{};
  if (nvr::read_request(data, kRecordModePolicy, &request) != 0) return;
  RecordParams records[kRecordChannels] = {};
  read_records(nvr::qvdb_path(), records);
  for (RecordParams& record : records) record.mode = request.value;
  if (write_records(nvr::qvdb_path(), records, ~uint64_t{0}) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  cgi_writeback_webserver(kRespText, "OK");
  for (int32_t channel = 0; channel < kRecordChannels; ++channel)
    notify(kReqRecordModeChanged, &channel, sizeof channel);
}

// "/3303"
void on_set_wizard_enable(char* data) { set_param_switch(data, kWizardPolicy, "wizard_enable"); }

// "/3304"
void on_set_ipc_basic(char* data) {
  nvr::Json request = nvr::parse_request(data);
  IpcBasic wanted{};
  if (nvr::read_policy(request.get(), kIpcBasicPolicy, &wanted) != 0) return;

  CameraRecord camera{};
  camera.id = wanted.id;
  read_camera(nvr::qvdb_path(), &camera, wanted.id);
  camera.id = wanted.id;
  camera.enable = wanted.enable;
  memcpy(camera.ipAddr, wanted.ip_addr, sizeof camera.ipAddr);
  camera.managePort = wanted.manage_port;
  camera.camProtocol = 0;  // the field after the port
  memcpy(camera.userName, wanted.user_name, sizeof camera.userName);
  memcpy(camera.password, wanted.password, sizeof camera.password);
  if (write_camera(nvr::qvdb_path(), &camera) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  notify(camera.enable ? kReqCameraEnabled : kReqCameraDisabled, &camera.id, sizeof camera.id);
  cgi_writeback_webserver(kRespText, "OK");
}

namespace {

constexpr Route kGeneralRoutes[] = {
    NVR_ROUTE("/3300", on_set_ssh_enable, "Turns the SSH service on or off"),
    NVR_ROUTE("/3301", on_set_auto_login, "Turns automatic local login on or off"),
    NVR_ROUTE("/3302", on_set_record_mode_all, "Sets the record mode of every channel at once"),
    NVR_ROUTE("/3303", on_set_wizard_enable, "Turns the start-up wizard on or off"),
    NVR_ROUTE("/3304", on_set_ipc_basic, "Sets a camera's enable flag, address, port and login"),
};

}  // namespace

std::span<const Route> general_route_table() { return kGeneralRoutes; }
