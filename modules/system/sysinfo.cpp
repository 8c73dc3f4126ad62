// What the recorder is: device information, host name and device id.
#include "modules/system/sysinfo.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/system/sysinfo_records.h"
#include "modules/system/system_wire.h"
#include "platform/device_path.h"
#include "platform/qvstd.h"

namespace {

constexpr size_t kConfigNameSize = 32;
constexpr size_t kUptimeSize = 64;

// The output of "uptime", cut to the part the pages show.
void get_uptime_text(char* buffer, size_t size) {
  static const char* const kUptime[] = {"uptime", nullptr};
  qv_vpopen(kUptime, buffer, size);
  cut_uptime_text(buffer);
}

// A text parameter with its default, bounded to size - 1 characters.
std::string param_text(const char* key, size_t size, const char* default_value) {
  std::string text(size, '\0');
  get_param_value(nvr::qvdb_path(), key, text.data(), static_cast<int>(size), default_value);
  text.resize(strnlen(text.data(), size - 1));
  return text;
}

void add_bounded(json_object* object, const char* key, const char* text, size_t size) {
  nvr::json_add(object, key, nvr::json_new_string_bounded(text, size));
}

void on_get_system_info_cb(uint32_t count, const void* payload) {
  if (count < 1) return;
  const DeviceInfo info = nvr::record_at<DeviceInfo>(payload, 0);
  const char* db = nvr::qvdb_path();
  char uptime[kUptimeSize];
  get_uptime_text(uptime, sizeof uptime);

  nvr::Json answer = nvr::json_new_object();
  json_object* o = answer.get();
  nvr::json_add_string(o, "hostName", "");
  add_bounded(o, "deviceName", info.model, sizeof info.model);
  nvr::json_add_int(o, "deviceId", info.device_id);
  add_bounded(o, "product", info.model, sizeof info.model);
  add_bounded(o, "hwver", info.hardware, sizeof info.hardware);
  add_bounded(o, "software", info.software, sizeof info.software);
  nvr::json_add_int(o, "oemversion", info.oem_version);
  add_bounded(o, "sn", info.serial, sizeof info.serial);
  add_bounded(o, "prefix", info.prefix, sizeof info.prefix);
  nvr::json_add_string(o, "pluginVersion", param_text("plugin_version", 32, "1.0"));
  nvr::json_add_string(o, "mpluginVersion", param_text("mplugin_version", 32, "1.0"));
  add_bounded(o, "macAddress", info.mac, sizeof info.mac);
  nvr::json_add_int(o, "qvddns", info.ddns);
  nvr::json_add_string(o, "uptime", uptime);
  add_bounded(o, "sncode", info.serial, sizeof info.serial);

  nvr::Json resource = nvr::json_new_object();
  nvr::json_add_int(resource.get(), "displayNum", info.display_count);
  nvr::json_add_int(resource.get(), "maxAudioOut", info.max_audio_out);
  nvr::json_add_int(resource.get(), "maxNetworkLan", info.network_ports);
  nvr::json_add_int(resource.get(), "maxSensor", info.max_sensors);
  nvr::json_add_int(resource.get(), "maxAlarm", info.max_alarms);
  nvr::json_add_int(resource.get(), "maxCameras", info.max_cameras);
  nvr::json_add_int(resource.get(), "masRs485", info.rs485_count);
  nvr::json_add(o, "resource", std::move(resource));

  nvr::json_add_int(o, "qvfsDbup", get_param_int(db, "qvfs_dbup", 0));
  nvr::json_add_int(o, "transProtocol", get_param_int(db, "transport_protocol", 0));
  nvr::json_add_int(o, "streamInfo", get_param_int(db, "stream_information", 0));
  nvr::json_add_int(o, "oemonlineupdate", get_param_int(db, "oemupdateonline", 0));
  nvr::json_add_string(o, "company", param_text("company", 64, "Vantrell"));
  nvr::json_add_int(o, "isSupportTalk", info.talk_support);

  nvr::answer_json(answer);
}

struct SystemInfoRequest {
  char host_name[kHostNameSize];
  int32_t device_id;
};
constexpr nvr::PolicyRow kSystemInfoPolicy[] = {
    NVR_POLICY_NONEMPTY(SystemInfoRequest, host_name, "hostName", nvr::Presence::kRequired),
    NVR_POLICY_INT(SystemInfoRequest, device_id, "deviceId", 1, 255, nvr::Presence::kRequired),
};

}  // namespace

void send_device_id_and_host_name(int32_t device_id) {
  nvr::tell_daemon(kReqDeviceId, device_id);
  char changed[kConfigNameSize] = "hostname";
  nvr::tell_daemon(kReqConfigChanged, changed, sizeof changed);
}

void cut_uptime_text(char* text) {
  if (const char* users = strstr(text, "users")) {
    if (users - text >= 5) text[users - text - 5] = '\0';
    return;
  }
  if (const char* l = strchr(text, 'l')) {
    if (l - text >= 2) text[l - text - 2] = '\0';
  }
}

void on_sysinfo_ipc_callback(void*, const void* header, const void* payload) {
  static constexpr nvr::ReplyRow kReplies[] = {
      {kReplySystemInfo, sizeof(DeviceInfo), on_get_system_info_cb}};
  nvr::dispatch_reply(kReplies, header, payload);
}

void on_get_system_info(char*) {
  nvr::ask_or_answer(on_sysinfo_ipc_callback, kReqSystemInfo, nullptr, 0, nvr::Silence::kJson);
}

void on_set_system_info(char* data) {
  SystemInfoRequest request{};
  if (nvr::read_request(data, kSystemInfoPolicy, &request) != 0) return;
  const char* db = nvr::qvdb_path();
  // Both or neither: a full disk must not keep the name without the id.
  DbBatch batch(db);
  if ((write_host_name(db, request.host_name) |
       store_param_int(db, "deviceid", request.device_id)) != 0 ||
      batch.commit() != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  send_device_id_and_host_name(request.device_id);
  cgi_writeback_webserver(kRespText, "OK");
}

void on_clear_qvfs_dbup(char*) {
  if (store_param_int(nvr::qvdb_path(), "qvfs_dbup", 0) != 0)
    cgi_error_to_webserver(kRespText);
  else
    cgi_writeback_webserver(kRespText, "OK");
}
