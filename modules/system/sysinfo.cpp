// What the recorder is: device information, host name and device id.
#include "modules/network/network_wire.h"
#include "modules/system/system_module.h"
#include "platform/qvstd.h"

namespace {

constexpr size_t kUptimeSize = 64;

// The output of "uptime", cut to the part the pages show.
nvr::Json uptime_json(const void*) {
  static const char* const kUptime[] = {"uptime", nullptr};
  char uptime[kUptimeSize];
  qv_vpopen(kUptime, uptime, sizeof uptime);
  cut_uptime_text(uptime);
  return nvr::json_new_string(uptime);
}

#define INFO(member, key) NVR_ANSWER_FIELD(DeviceInfo, member, key)
constexpr nvr::AnswerRow kResourceAnswer[] = {
    INFO(display_count, "displayNum"),    INFO(max_audio_out, "maxAudioOut"),
    INFO(network_ports, "maxNetworkLan"), INFO(max_sensors, "maxSensor"),
    INFO(max_alarms, "maxAlarm"),         INFO(max_cameras, "maxCameras"),
    INFO(rs485_count, "masRs485"),
};
constexpr nvr::AnswerRow kSystemInfoAnswer[] = {
    nvr::answer_fixed_text("hostName", ""),
    INFO(model, "deviceName"),
    INFO(device_id, "deviceId"),
    INFO(model, "product"),
    INFO(hardware, "hwver"),
    INFO(software, "software"),
    INFO(oem_version, "oemversion"),
    INFO(serial, "sn"),
    INFO(prefix, "prefix"),
    nvr::answer_param_text("pluginVersion", "plugin_version", 32, "1.0"),
    nvr::answer_param_text("mpluginVersion", "mplugin_version", 32, "1.0"),
    INFO(mac, "macAddress"),
    INFO(ddns, "qvddns"),
    nvr::answer_computed("uptime", uptime_json),
    INFO(serial, "sncode"),
    nvr::answer_object("resource", kResourceAnswer),
    nvr::answer_param_int("qvfsDbup", "qvfs_dbup", 0),
    nvr::answer_param_int("transProtocol", "transport_protocol", 0),
    nvr::answer_param_int("streamInfo", "stream_information", 0),
    nvr::answer_param_int("oemonlineupdate", "oemupdateonline", 0),
    nvr::answer_param_text("company", "company", 64, "Vantrell"),
    INFO(talk_support, "isSupportTalk"),
};
#undef INFO

struct SystemInfoRequest {
  char host_name[kHostNameSize];
  int32_t device_id;
};
constexpr nvr::PolicyRow kSystemInfoPolicy[] = {
    NVR_POLICY_NONEMPTY(SystemInfoRequest, host_name, "hostName", nvr::Presence::kRequired),
    NVR_POLICY_INT(SystemInfoRequest, device_id, "deviceId", 1, 255, nvr::Presence::kRequired),
};

// Reply dispatcher of this area (reply 8400).
constexpr nvr::ReplyRow kSysinfoReplies[] = {
    {kReplySystemInfo, sizeof(DeviceInfo),
     nvr::answer_first_record<DeviceInfo, kSystemInfoAnswer, kRespJson>}};
constexpr IpcCallback on_sysinfo_ipc_callback = nvr::reply_dispatcher<kSysinfoReplies>;

}  // namespace

void send_device_id_and_host_name(int32_t device_id) {
  nvr::tell_daemon(kReqDeviceId, device_id);
  nvr::tell_daemon(kReqSettingsChanged, NetApplyText{"hostname"});
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

void on_get_system_info(char*) {
  nvr::ask_or_answer(on_sysinfo_ipc_callback, kReqSystemInfo, nullptr, 0, nvr::Silence::kJson);
}

void on_set_system_info(char* data) {
  SystemInfoRequest request{};
  if (nvr::read_request(data, kSystemInfoPolicy, &request) != 0) return;
  const char* db = nvr::qvdb_path();
  // Both or neither: a full disk must not keep the name without the id.
  DbBatch batch(db);
  int stored =
      write_host_name(db, request.host_name) | set_param_int(db, "deviceid", request.device_id);
  if (stored == 0) stored = batch.commit();
  if (stored == 0) send_device_id_and_host_name(request.device_id);
  nvr::finish_change(stored, {}, {});
}

void on_clear_qvfs_dbup(char*) {
  nvr::finish_change(set_param_int(nvr::qvdb_path(), "qvfs_dbup", 0), {}, {});
}
