// Service ports (SSH, web, HTTPS, RTSP) and the push-message settings that
// share their page.
#include <cstdio>
#include <cstring>

#include "frame/json.h"
#include "frame/oplog_codes.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "platform/device_path.h"

namespace {

constexpr const char* kPortKeys[] = {"enableSsh", "sshPort",  "httpPort",
                                     "httpsPort", "rtspPort", "servicePort"};

struct PortRequest {
  int32_t enable_ssh;
  int32_t ssh_port;
  int32_t http_port;
  int32_t rtsp_port;
  int32_t service_port;
  int32_t enable_msg;
};
constexpr nvr::PolicyRow kPortPolicy[] = {
    NVR_POLICY_INT(PortRequest, enable_ssh, "enableSsh", 0, 1, nvr::Presence::kRequired),
    NVR_POLICY_INT(PortRequest, ssh_port, "sshPort", 1, 65535, nvr::Presence::kRequired),
    NVR_POLICY_INT(PortRequest, http_port, "httpPort", 1, 65535, nvr::Presence::kRequired),
    NVR_POLICY_INT(PortRequest, rtsp_port, "rtspPort", 1, 65535, nvr::Presence::kRequired),
    NVR_POLICY_INT(PortRequest, service_port, "servicePort", 1, 65535, nvr::Presence::kRequired),
    NVR_POLICY_INT(PortRequest, enable_msg, "enableMsg", 0, INT32_MAX, nvr::Presence::kRequired),
};

int max_cameras() {
  const int count =
      get_param_int(nvr::qvdb_path(), "max_cameras", param_default_int("max_cameras", 0));
  return count < 0 ? 0 : (count > kMaxNetChannels ? kMaxNetChannels : count);
}

// Step 2 of "/7051": the push event types, stored whatever the port test says.
int store_push_types(json_object* request) {
  DbBatch batch(nvr::qvdb_path());
  // A failed write fails the batch: its commit reports it.
  (void)set_param_int(nvr::qvdb_path(), "push_type", netmod::int_or(request, "pushType"));
  (void)set_param_int(nvr::qvdb_path(), "pushmsg_alarmin_type",
                      netmod::int_or(request, "PushTypeNvrAlarmIn"));
  json_object* types = nvr::json_get(request, "pushTypeArr");
  int32_t channels = netmod::int_or(request, "channel_num");
  for (int32_t i = 0; i < channels && i < kMaxNetChannels; ++i) {
    int32_t type = 0;
    json_object* item = nvr::json_at(types, static_cast<size_t>(i));
    if (item == nullptr) break;  // the array is shorter than its count
    if (auto value = nvr::json_int64(item)) type = static_cast<int32_t>(*value);
    const PushMsgEvent event{i, type};
    write_push_msg_event(nvr::qvdb_path(), &event);
  }
  return batch.commit();
}

}  // namespace

// "/7050"
void on_get_port_info(char*) {
  PortSettings ports{};
  read_port(nvr::qvdb_path(), &ports);
  nvr::Json all(db_record_to_json(kPortRecord, &ports));
  if (!all) return;
  nvr::Json answer = nvr::json_new_object();
  for (const char* key : kPortKeys)
    json_object_object_add(answer.get(), key, json_object_get(nvr::json_get(all.get(), key)));
  const char* db = nvr::qvdb_path();
  nvr::json_add_int(answer.get(), "enable_access", get_param_int(db, "ch_access", 0));
  int32_t types[kMaxNetChannels] = {};
  const int cameras = max_cameras();
  read_push_msg_events(db, types, cameras);
  nvr::Json list = nvr::json_new_array();
  for (int i = 0; i < cameras; ++i) nvr::json_append(list.get(), nvr::json_new_int(types[i]));
  nvr::json_add(answer.get(), "PushTypeArr", std::move(list));
  nvr::json_add_int(answer.get(), "PushNvrAlarmInType",
                    get_param_int(db, "pushmsg_alarmin_type", 0xffff));
  int enable_msg = get_param_int(db, "enable_push_msg", 0);
  nvr::json_add_int(answer.get(), "enableMsg", enable_msg == 0 || enable_msg == 1 ? enable_msg : 0);
  nvr::json_add_int(answer.get(), "push_stream", get_param_int(db, "video_push_stream", 0));
  char position[65] = "";
  read_push_msg_nvr_event(db, position, sizeof position);
  nvr::json_add_string(answer.get(), "pushNvrPos", position);
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7093"
void on_get_poe_max(char*) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "max_poe_num", get_param_int(nvr::qvdb_path(), "max_poe_num", 0));
  cgi_writeback_webserver(kRespJson, nvr::json_text(answer));
}

// "/7051"
void on_set_port_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  PortRequest wanted{};
  if (!request || nvr::read_policy(request.get(), kPortPolicy, &wanted) != 0) return;
  int32_t https_port = 0;
  json_object* https = nvr::json_get(request.get(), "httpsPort");
  if (https && !nvr::json_read_int(request.get(), "httpsPort", &https_port, 1, 65535)) return;

  PortSettings ports{};
  read_port(nvr::qvdb_path(), &ports);
  const PortSettings stored = ports;
  ports.ssh_enable = wanted.enable_ssh;
  ports.ssh_port = wanted.ssh_port;
  ports.http_port = wanted.http_port;
  ports.rtsp_port = wanted.rtsp_port;
  if (https) ports.https_port = https_port;  // an absent port keeps the stored one

  if (store_push_types(request.get()) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  const int32_t enable_access = netmod::int_or(request.get(), "enableAccess");
  if (enable_access != get_param_int(nvr::qvdb_path(), "ch_access", 0))
    nvr::tell_daemon(kReqChannelAccess, enable_access);

  if (!netmod::port_is_usable(ports.ssh_port, stored.ssh_port) ||
      !netmod::port_is_usable(ports.http_port, stored.http_port) ||
      !netmod::port_is_usable(ports.https_port, stored.https_port)) {
    cgi_writeback_webserver(kRespText, "POE_Port_Error");
    return;
  }

  const int32_t enable_msg = wanted.enable_msg == 1 ? 1 : 0;
  char position[65] = "";
  nvr::json_copy_string(request.get(), "pushNvrPos", position, sizeof position);
  DbBatch batch(nvr::qvdb_path());
  write_port(nvr::qvdb_path(), &ports);
  netmod::store_param_number("enable_push_msg", enable_msg);
  write_push_msg_nvr_event(nvr::qvdb_path(), position);
  (void)set_param_int(nvr::qvdb_path(), "video_push_stream",
                      netmod::int_or(request.get(), "pushVideoStream"));
  if (batch.commit() != 0) {  // any failed write above fails the commit
    cgi_error_to_webserver(kRespText);
    return;
  }
  PushEnableText push{};
  snprintf(push.text, sizeof push.text, "%d", enable_msg);
  nvr::tell_daemon(kReqPushMessage, push);
  cgi_send_operation_log(kLogSubChangeSettings, netmod::kLogParamPorts, 0);
  cgi_writeback_webserver(kRespText, "OK");
  netmod::notify_area("more");
  if (netmod::int_or(request.get(), "needReboot") != 0) nvr::order_restart();
}
