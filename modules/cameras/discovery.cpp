// Camera discovery and camera network setup: search, login tests, one
// camera's or a batch of cameras' network settings.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frame/ipc.h"
#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/cameras/cameras_handlers.h"
#include "modules/cameras/cameras_wire.h"

namespace {

void add_text(json_object* object, const char* key, const char* text, size_t size) {
  nvr::json_add(object, key, nvr::json_new_string_bounded(text, size));
}
#define ADD_TEXT(object, record, field) add_text(object, #field, record.field, sizeof record.field)

bool has_high_byte(const char* text, size_t size) {
  for (size_t i = 0; i < size && text[i] != '\0'; ++i)
    if (static_cast<unsigned char>(text[i]) >= 128) return true;
  return false;
}

// ---- network change records ----------------------------------------------------------------

constexpr nvr::PolicyRow kNetworkCheck[] = {
    NVR_POLICY_TEXT(IpcNetwork, macAddr, "macAddr", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, oldIpcAddr, "oldIpcAddr", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, newIpcAddr, "newIpcAddr", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, netmask, "netmask", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, gateway, "gateway", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, primaryDNS, "primaryDNS", nvr::Presence::kRequired),
    NVR_POLICY_INT(IpcNetwork, port, "port", 0, 65536, nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, username, "username", nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, password, "password", nvr::Presence::kRequired),
    NVR_POLICY_INT(IpcNetwork, protocol, "protocol", 0, 7, nvr::Presence::kRequired),
    NVR_POLICY_TEXT(IpcNetwork, netif, "netif", nvr::Presence::kAbsentIsZero),
};
// A batch element: the same keys, none refused (absent: empty or 0).
constexpr nvr::PolicyRow kBatchFields[] = {
    NVR_POLICY_TEXT(IpcNetworkBatch, network.macAddr, "macAddr", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.oldIpcAddr, "oldIpcAddr",
                    nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.newIpcAddr, "newIpcAddr",
                    nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.netmask, "netmask", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.gateway, "gateway", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.primaryDNS, "primaryDNS",
                    nvr::Presence::kAbsentIsZero),
    NVR_POLICY_INT(IpcNetworkBatch, network.port, "port", INT32_MIN, INT32_MAX,
                   nvr::Presence::kLenient),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.username, "username", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.password, "password", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_INT(IpcNetworkBatch, network.protocol, "protocol", INT32_MIN, INT32_MAX,
                   nvr::Presence::kLenient),
    NVR_POLICY_TEXT(IpcNetworkBatch, network.netif, "netif", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_INT(IpcNetworkBatch, channelId, "channelId", INT32_MIN, INT32_MAX,
                   nvr::Presence::kLenient),
    NVR_POLICY_INT(IpcNetworkBatch, modifynum, "modifynum", INT32_MIN, INT32_MAX,
                   nvr::Presence::kLenient),
};

// ---- login tests ---------------------------------------------------------------------------

struct ConnectCheck {
  char ipAddr[32];
  int32_t managePort;
  char userName[64];
  char password[33];
  int32_t camProtocol;
};
constexpr nvr::PolicyRow kConnectCheck[] = {
    NVR_POLICY_NONEMPTY(ConnectCheck, ipAddr, "ipAddr", nvr::Presence::kRequired),
    NVR_POLICY_INT(ConnectCheck, managePort, "managePort", 0, INT32_MAX, nvr::Presence::kRequired),
    NVR_POLICY_TEXT(ConnectCheck, userName, "userName", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_TEXT(ConnectCheck, password, "password", nvr::Presence::kAbsentIsZero),
    NVR_POLICY_INT(ConnectCheck, camProtocol, "camProtocol", 0, 7, nvr::Presence::kRequired),
};

template <class Record>
void copy_login(const ConnectCheck& check, Record* record) {
  static_assert(sizeof record->ipAddr == sizeof check.ipAddr);
  memcpy(record->ipAddr, check.ipAddr, sizeof record->ipAddr);
  record->managePort = check.managePort;
  memcpy(record->userName, check.userName, sizeof record->userName);
  memcpy(record->password, check.password, sizeof record->password);
  record->protocol = check.camProtocol;
}

}  // namespace

// ---- search --------------------------------------------------------------------------------

void on_search_ipc_cb(uint32_t count, const void* records) {
  nvr::Json list = nvr::json_new_array();
  for (uint32_t i = 0; i < count; ++i) {
    const CameraSearchResult s = nvr::record_at<CameraSearchResult>(records, i);
    nvr::Json o = nvr::json_new_object();
    json_object* c = o.get();
    ADD_TEXT(c, s, ipAddr);
    nvr::json_add_int(c, "managePort", s.managePort);
    nvr::json_add_int(c, "protocol", s.protocol);
    ADD_TEXT(c, s, macAddr);
    ADD_TEXT(c, s, vendor);
    ADD_TEXT(c, s, sn);
    ADD_TEXT(c, s, fwVersion);
    ADD_TEXT(c, s, model);
    nvr::json_add_int(c, "modelId", s.modelId);
    ADD_TEXT(c, s, netmask);
    ADD_TEXT(c, s, dns);
    ADD_TEXT(c, s, gateway);
    ADD_TEXT(c, s, netif);
    nvr::json_add_int(c, "active_status", s.active_status);
    // A name in another character set than the pages' is not shown.
    add_text(c, "name", has_high_byte(s.name, sizeof s.name) ? "" : s.name, sizeof s.name);
    ADD_TEXT(c, s, snReal);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_string(answer.get(), "resultString", count > 0 ? "OK" : "NO");
  nvr::json_add(answer.get(), "IPC", std::move(list));
  nvr::answer_json(answer);
}

void on_search_ipc(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t protocol = -1;
  if (!nvr::json_read_int(request.get(), "protocol", &protocol, 0, 7)) return;
  nvr::ask_or_answer(on_camera_ipc_callback, kReqSearch, ChannelWord{protocol},
                     nvr::Silence::kJson);
}

// ---- one camera's network --------------------------------------------------------------------

void on_set_ipc_network_cb(uint32_t count, const void* records) {
  static const char* const kAnswers[] = {
      "{\"resultString\":\"OK\"}", "{\"resultString\":\"NETWORK_ERR\"}",
      "{\"resultString\":\"INVALID_USER\"}", "{\"resultString\":\"UNKNOWN_ERR\"}",
      "{\"resultString\":\"PROTO_NOT_SUPPORT\"}"};
  if (count < 1) return;
  const int32_t status = nvr::record_at<ResultWord>(records, 0).res;
  const char* answer =
      status >= 0 && status <= 4 ? kAnswers[status] : "{\"resultString\":\"ERROR\"}";
  cgi_writeback_webserver(kRespJson, answer);
  cgi_set_callback_done();
}

void on_set_ipc_network(char* data) {
  IpcNetwork network{};
  if (nvr::read_request(data, kNetworkCheck, &network) != 0) return;
  nvr::ask_or_answer(on_camera_ipc_callback, kReqIpcNetwork, network, nvr::Silence::kJson);
}

// ---- login tests ---------------------------------------------------------------------------

void on_test_ipc_connect_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  switch (nvr::record_at<ResultWord>(records, 0).res) {
    case 0:
    case 4:
      nvr::answer_text("OK", 2);
      return;
    case 1:
      nvr::answer_text("NETWORKERROR");
      return;
    case 2:
      nvr::answer_text("USERERROR");
      return;
    case 5:
      nvr::answer_text("BANDWIDTHERROR");
      return;
    default:
      nvr::answer_text("UNKOWNERROR");
      return;
  }
}

void on_test_ipc_connect(char* data) {
  ConnectCheck check{};
  if (nvr::read_request(data, kConnectCheck, &check) != 0) return;
  LoginTest test{};
  copy_login(check, &test);
  nvr::ask_or_answer(on_camera_ipc_callback, kReqTestLogin, test, nvr::Silence::kText);
}

void on_check_ipc_connect(char* data) {
  ConnectCheck check{};
  if (nvr::read_request(data, kConnectCheck, &check) != 0) return;
  LoginCheck test{};
  copy_login(check, &test);
  if (test.managePort < 80) test.managePort = 80;
  nvr::ask_or_answer(on_camera_ipc_callback, kReqCheckLogin, test, nvr::Silence::kText);
}

// ---- batches -------------------------------------------------------------------------------

void on_set_ipc_network_batch(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  json_object* cameras = nvr::json_get(request.get(), "oIPCAddr");
  // `cnt` never reads past the array.
  const int64_t cnt = nvr::json_int_or(request.get(), "cnt", 0);
  const size_t count =
      std::min<size_t>(cnt > 0 ? static_cast<size_t>(cnt) : 0, nvr::json_array_size(cameras));
  for (size_t i = 0; i < count; ++i) {
    IpcNetworkBatch record{};
    nvr::read_policy(nvr::json_at(cameras, i), kBatchFields, &record);
    nvr::tell_daemon(kReqIpcNetworkBatch, record);
  }
  cgi_writeback_webserver(kRespText, "OK");
}

void on_get_ipc_network_batch_cb(uint32_t count, const void* records) {
  if (count < 1) return;
  const auto* result = static_cast<const uint8_t*>(records);
  int32_t entries = 0;
  memcpy(&entries, result + offsetof(BatchResult, count), sizeof entries);
  entries = std::clamp(entries, 0, 64);
  nvr::Json list = nvr::json_new_array();
  for (int32_t i = 0; i < entries; ++i) {
    BatchEntry entry;
    memcpy(&entry, result + offsetof(BatchResult, entries) + i * sizeof entry, sizeof entry);
    nvr::Json o = nvr::json_new_object();
    ADD_TEXT(o.get(), entry, mac);
    nvr::json_add_int(o.get(), "result", entry.result);
    nvr::json_append(list.get(), std::move(o));
  }
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add(answer.get(), "IPC", std::move(list));
  nvr::answer_json(answer);
}

void on_get_ipc_network_batch_result(char*) {
  nvr::ask_or_answer(on_camera_ipc_callback, kReqIpcNetworkBatchResult, nullptr, 0,
                     nvr::Silence::kJson);
}

// 1 when the kernel lists an IPv6 address of an interface.
int32_t net_is_haveipv6() {
  FILE* file = fopen("/proc/net/if_inet6", "r");
  if (file == nullptr) return 0;
  const bool listed = fgetc(file) != EOF;
  fclose(file);
  return listed ? 1 : 0;
}

void on_get_ipv6_support(char*) {
  char text[16];
  snprintf(text, sizeof text, "%d", net_is_haveipv6());
  cgi_writeback_webserver(kRespText, text);
}
