// The P2P cloud service: its status, switching it on and off, unbinding from
// the cloud account, and the registration test with the P2P server.
#include "platform/p2p.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "frame/json.h"
#include "frame/toolkit.h"
#include "frame/web_utils.h"
#include "modules/network/network_handlers.h"
#include "modules/network/network_records.h"
#include "platform/device_path.h"

namespace {

// Results of the registration test.
constexpr int kTestOk = 0;
constexpr int kTestRefused = 2;
constexpr int kTestNetwork = 3;
constexpr int kTestKeyFile = 4;

constexpr int kWorkSize = 2048;
constexpr char kDefaultServerHost[] = "p2p.nvr-cloud.net";

int32_t first_int(uint32_t count, const void* records) {
  return count ? nvr::record_at<int32_t>(records, 0) : 0;
}

const char* enable_result_text(int32_t result) {
  switch (result) {
    case 0:
      return "ERR_OK";
    case 2:
      return "ERR_NOTFOUND";
    case 3:
      return "ERR_NETWORK";
    case 5:
      return "ERR_MAC_FORMAT";
    case 6:
      return "ERR_AUTH_FAILED";
    case 7:
      return "ERR_NO_UUID";
    default:
      return "ERR_UNKNOWN";
  }
}

P2pRegistration registration_block(json_object* request) {
  P2pRegistration block{};
  char mac[18] = "";
  get_mac_addr(mac, nullptr);
  snprintf(block.mac, sizeof block.mac, "%s", mac);
  netmod::copy_text_or_null(request, "deviceName", block.device_name, sizeof block.device_name);
  netmod::copy_text_or_null(request, "sn", block.serial, sizeof block.serial);
  P2pInfo stored{};
  read_p2p_info(nvr::qvdb_path(), &stored);
  memcpy(block.account, stored.account, sizeof block.account);
  memcpy(block.register_code, stored.register_code, sizeof block.register_code);
  memcpy(block.server, stored.server, sizeof block.server);
  memcpy(block.model, stored.model, sizeof block.model);
  // The stored texts are NUL-terminated within their fields.
  block.account[sizeof block.account - 1] = '\0';
  block.register_code[sizeof block.register_code - 1] = '\0';
  block.server[sizeof block.server - 1] = '\0';
  block.model[sizeof block.model - 1] = '\0';
  return block;
}

// The exchange on a connected socket: the result of the test.
int register_with_server(int sock, const P2pRegistration& block) {
  if (p2p_create_keyfile() != 0 || p2p_cli_switch_keyfile(sock) != 0) return kTestKeyFile;
  uint8_t work[kWorkSize];
  const P2pHeader header{{2, 0, rsa_cal_ensize(sizeof block), 0, 1, 0, 0, 0}};
  if (p2p_send(sock, &header, sizeof header, work, sizeof work) != 0 ||
      p2p_send(sock, &block, sizeof block, work, sizeof work) != 0)
    return kTestNetwork;
  P2pHeader reply{};
  if (p2p_recv(sock, &reply, sizeof reply, rsa_cal_ensize(sizeof reply)) != 0) return kTestNetwork;
  const int64_t status = reply.value[3];
  if (status == 2) return kTestRefused;
  if (status != 0) return kTestOk;
  // The server's registration text follows: the daemon takes it over.
  char message[kWorkSize] = {};
  if (p2p_recv_some(sock, message, sizeof message) < 0) return kTestNetwork;
  char text[129] = "";
  snprintf(text, sizeof text, "%.128s", message);
  nvr::tell_daemon(kReqEnableP2p, text, static_cast<int32_t>(strlen(text)));
  return kTestOk;
}

}  // namespace

void on_p2p_status_info_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespJson);
  const P2pStatus status = nvr::record_at<P2pStatus>(records, 0);
  nvr::Json answer = nvr::json_new_object();
  json_object* a = answer.get();
  auto text = [&](const char* key, const char* field, size_t size) {
    nvr::json_add(a, key, nvr::json_new_string_bounded(field, size));
  };
  nvr::json_add_int(a, "enable", status.enable);
  text("company", status.company, sizeof status.company);
  text("email", status.email, sizeof status.email);
  nvr::json_add_int(a, "p2pstatus", status.status);
  text("cloudAccount", status.cloud_account, sizeof status.cloud_account);
  text("registerCode", status.register_code, sizeof status.register_code);
  text("dealer", status.dealer, sizeof status.dealer);
  text("model", status.model, sizeof status.model);
  text("ipc", status.ipc, sizeof status.ipc);
  text("cloudServer", status.cloud_server, sizeof status.cloud_server);
  nvr::json_add_int(a, "region", status.region);
  nvr::answer_json(answer);
}

// "/7060"
void on_get_p2p_info(char*) {
  nvr::ask_or_answer(on_network_ipc_callback, kReqP2pStatus, nullptr, 0, nvr::Silence::kJson);
}

void on_enable_p2p_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespText);
  nvr::answer_text(enable_result_text(first_int(count, records)));
}

void on_disable_p2p_cb(uint32_t count, const void* records) {
  if (count == 0) return netmod::answer_missing_record(kRespText);
  nvr::answer_text(first_int(count, records) == 0 ? "OK" : "ERR");
}

// "/7061": the daemon registers and stores the record when enabling; a
// disabled service is recorded here.
void on_set_p2p_info(char* data) {
  nvr::Json request = nvr::parse_request(data);
  int32_t enable = 0;
  if (!request || !nvr::json_read_int(request.get(), "enableP2P", &enable, 0, 1)) return;
  P2pInfo record{};
  if (enable == 0) read_p2p_info(nvr::qvdb_path(), &record);
  record.enable = enable;
  record.region = netmod::int_or(request.get(), "region");
  if (enable == 0 && write_p2p_info(nvr::qvdb_path(), &record) != 0) {
    cgi_error_to_webserver(kRespText);
    return;
  }
  nvr::ask_or_answer(on_network_ipc_callback, enable ? kReqEnableP2p : kReqDisableP2p, record,
                     nvr::Silence::kText);
}

// "/7062": the one route that talks to a server itself; every failure is a
// result number.
void on_test_p2p(char* data) {
  nvr::Json request = nvr::parse_request(data);
  if (!request) return;
  const P2pRegistration block = registration_block(request.get());
  char host[256] = "";
  get_param_value(nvr::qvdb_path(), "p2p_server_host", host, sizeof host, kDefaultServerHost);
  const int port = get_param_int(nvr::qvdb_path(), "p2p_server_port", kP2pServerPort);

  int result = kTestNetwork;
  const int sock = socket_create();
  if (sock >= 0 && socket_connect(sock, host, port) == 0)
    result = register_with_server(sock, block);
  socket_destroy(sock);
  char text[16];
  snprintf(text, sizeof text, "%d", result);
  cgi_writeback_webserver(kRespText, text);
}

void on_cgi_p2p_unbind_device_cb(uint32_t, const void*) {
  nvr::Json answer = nvr::json_new_object();
  nvr::json_add_int(answer.get(), "res", 0);
  nvr::answer_json(answer);
}

// "/7095"
void on_cgi_p2p_unbind_device(char*) {
  nvr::ask_or_answer(on_network_ipc_callback, kReqP2pUnbind, nullptr, 0, nvr::Silence::kJson);
}
